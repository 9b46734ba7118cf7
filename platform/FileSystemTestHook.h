#pragma once

// For tests only: when set, called right before the temporary file is put in place, so that a
// test can change the folder at the last moment without racing the program.
extern void (*beforePlacingForTests)(void* context);
extern void* beforePlacingContextForTests;
