#include <windows.h>

#include "app/app_layer.h"
#include "app/start_program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int status = StartProgram();
  app::EndApplicationLayer();
  return status;
}
