#pragma once
// The program driven by a user's hands, in this process (see driven_program.cpp).
int RunDrivenProgram(int argc, char** argv);
