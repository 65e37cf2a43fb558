#pragma once

#include <cstdint>

// Runs the whole life of the program; 0 once the main event loop has ended.
int32_t StartProgram();

// The practice window's created and will-be-destroyed handlers.
void OnWindowCreated();
void OnWindowDestroying();
