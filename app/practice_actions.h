// The four practice actions. Their shapes are the lesson: each routine is a
// real, separate routine in the built program, and the four click handlers
// carry two runs of 45 one-byte pushes (0x06) around their bodies.
#pragma once

#include <cstdint>

extern "C" {
// Click handlers.
void NormalAttack();
void OnButton2Click();
void OnButton3Click();
void Death();

void Magic();
void GroupAttack();
// Sends and logs only for a = 6 and b = 7; any other pair does nothing.
void GroupAttackSend(int32_t a, int32_t b);
// Performs one complete group attack; its entry address is Death's payload.
void DeathRoutine();
}
