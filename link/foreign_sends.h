// Sends made on another thread than the endpoints' own: a learner's thread
// started at a routine's address sends and then logs its line, which it
// hands over to the window's thread. Until that thread's line is in, the
// server holds back what it receives, so that the line still comes before
// the hex of its bytes.
#pragma once

#include <windows.h>

namespace loopback {

// On the sending thread, from LinkClientSend: this thread now owes a line.
void BeginForeignSend();
// On the sending thread, once its line is in (or there is nowhere to put
// it): ends this thread's oldest foreign send. A thread that sent nothing
// ends nothing.
void EndForeignSend();
// On the endpoints' thread: waits, taking only messages sent by other
// threads, until every foreign send has ended, or gives up after the
// patience below (a thread that sends and never logs).
void AwaitForeignSends();

// How long AwaitForeignSends waits before it gives up; returns the previous
// patience. Tests stretch it so that a slow machine cannot run out of it.
DWORD SetForeignSendPatience(DWORD ms);

}  // namespace loopback
