#include "ui/app_controller.h"

int main() { runProgram(); }
