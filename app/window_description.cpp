#include "app/window_description.h"

#include "app/hex_log.h"
#include "app/practice_actions.h"
#include "app/start_program.h"
#include "link/link_client.h"
#include "link/link_server.h"

namespace {

// The link controls' events that the program does not act on.
void IgnoreEvent() {}

}  // namespace

const char kPracticeWindowClass[] = "Quillan84";

// kind, name, left, top, width, height, text, visible, disabled, tab stop, bindings
const ControlRecord kPracticeWindowDescription[kPracticeWindowRecordCount] = {
    {ControlKind::kWindow, "", 0, 0, 317, 221, "Kestravo BY:Tovrel", true, false, false,
     {{kWindowCreated, &OnWindowCreated}, {kWindowWillBeDestroyed, &OnWindowDestroying}}},
    {ControlKind::kPushButton, "按钮4", 224, 152, 80, 32, "死亡", true, false, true,
     {{kButtonClicked, &Death}}},
    {ControlKind::kPushButton, "按钮3", 224, 104, 80, 32, "群功", true, false, true,
     {{kButtonClicked, &OnButton3Click}}},
    {ControlKind::kPushButton, "按钮2", 224, 56, 80, 32, "魔法", true, false, true,
     {{kButtonClicked, &OnButton2Click}}},
    {ControlKind::kTcpClient, "客户1", 56, 24, 26, 26, "", false, false, false,
     {{LinkClient::kDataArrival, &IgnoreEvent}, {LinkClient::kDisconnected, &IgnoreEvent}}},
    {ControlKind::kTcpServer, "服务器1", 16, 24, 26, 26, "", false, false, false,
     {{LinkServer::kDataArrival, &OnServerDataArrival},
      {LinkServer::kClientEntered, &IgnoreEvent},
      {LinkServer::kClientLeft, &IgnoreEvent}}},
    {ControlKind::kPushButton, "按钮1", 224, 8, 80, 32, "普攻", true, false, true,
     {{kButtonClicked, &NormalAttack}}},
    {ControlKind::kEditBox, "编辑框1", 8, 8, 200, 176, "", true, false, true, {}},
};

const char* const kPracticeWindowTabOrder[5] = {"编辑框1", "按钮1", "按钮2", "按钮3", "按钮4"};
