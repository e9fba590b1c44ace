#include <cstdio>

#include "platform/input.h"
#include "uci/command_loop.h"

int main() {
    brinz::setUnbufferedOutput();
    brinz::initialiseEngine();
    brinz::commandLoop();
}
