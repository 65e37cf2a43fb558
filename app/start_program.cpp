#include "app/start_program.h"

#include "app/app_layer.h"
#include "app/practice_window.h"
#include "base/process_end.h"
#include "link/link_client.h"
#include "script/script_module.h"

namespace {

LinkClient* WindowClient() {
  PracticeWindow* window = PracticeWindow::Loaded();
  return window != nullptr ? window->client() : nullptr;
}

}  // namespace

void OnWindowCreated() {
  // Success and failure lead to the same next step: nothing is shown.
  if (LinkClient* client = WindowClient()) client->Connect("127.0.0.1", 19730);
}

void OnWindowDestroying() {
  if (LinkClient* client = WindowClient()) client->Disconnect();
}

int32_t StartProgram() {
  app::InitialiseApplicationLayer();
  ScriptModuleStart();
  base::StoreExitRoutine(&ScriptModuleTeardown);
  ScriptModuleInit();
  LoadPracticeWindow();
  app::SetLoopRunning();
  if (app::HasLoadedWindows()) app::RunEventLoop();
  return 0;
}
