// The script module's life, driven by program start-up: ScriptModuleStart,
// then ScriptModuleTeardown stored as the routine for an orderly end, then
// ScriptModuleInit.
#pragma once

// Creates the one script context and an empty variable table.
void ScriptModuleStart();
// Releases everything the module holds. Runs once, at an orderly end.
void ScriptModuleTeardown();
// Registers the 69 predefined constants.
void ScriptModuleInit();
