#include "app/window_description.h"

#include "app/hex_log.h"
#include "app/practice_actions.h"
#include "app/start_program.h"

namespace {

// The link controls' events that the program does not act on.
void IgnoreEvent() {}

using ClientEvent = LinkClient::Event;
using ServerEvent = LinkServer::Event;

}  // namespace

const char kPracticeWindowClass[] = "Quillan84";

// kind, name, left, top, width, height, text, visible, disabled, tab stop, bindings
constexpr ControlRecord kPracticeWindowDescription[kPracticeWindowRecordCount] = {
    {ControlKind::kWindow, "", 0, 0, 317, 221, "Kestravo BY:Tovrel", true, false, false,
     {{WindowEvent::kCreated, &OnWindowCreated},
      {WindowEvent::kWillBeDestroyed, &OnWindowDestroying}}},
    {ControlKind::kPushButton, "按钮4", 224, 152, 80, 32, "死亡", true, false, true,
     {{ButtonEvent::kClicked, &Death}}},
    {ControlKind::kPushButton, "按钮3", 224, 104, 80, 32, "群功", true, false, true,
     {{ButtonEvent::kClicked, &OnButton3Click}}},
    {ControlKind::kPushButton, "按钮2", 224, 56, 80, 32, "魔法", true, false, true,
     {{ButtonEvent::kClicked, &OnButton2Click}}},
    {ControlKind::kTcpClient, "客户1", 56, 24, 26, 26, "", false, false, false,
     {{ClientEvent::kDataArrival, &IgnoreEvent}, {ClientEvent::kDisconnected, &IgnoreEvent}}},
    {ControlKind::kTcpServer, "服务器1", 16, 24, 26, 26, "", false, false, false,
     {{ServerEvent::kDataArrival, &OnServerDataArrival},
      {ServerEvent::kClientEntered, &IgnoreEvent},
      {ServerEvent::kClientLeft, &IgnoreEvent}}},
    {ControlKind::kPushButton, "按钮1", 224, 8, 80, 32, "普攻", true, false, true,
     {{ButtonEvent::kClicked, &NormalAttack}}},
    {ControlKind::kEditBox, "编辑框1", 8, 8, 200, 176, "", true, false, true, {}},
};

constexpr bool EveryRecordBindsOwnEvents() {
  for (const ControlRecord& record : kPracticeWindowDescription) {
    if (!BindsOwnEvents(record)) return false;
  }
  return true;
}
static_assert(EveryRecordBindsOwnEvents(), "a binding names another kind's event");

const char* const kPracticeWindowTabOrder[5] = {"编辑框1", "按钮1", "按钮2", "按钮3", "按钮4"};
