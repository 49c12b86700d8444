// GameStateIncomplete.cpp - a game state whose registration forgets a hook:
// the entry point must refuse it before running any.
#include "GameState.h"

#include <cstdio>

static void gameStateLoad() { printf("Load\n"); }
static void gameStateOther() { printf("Other\n"); }

void gameStateRegister() {
    gpGameStateLoad = gameStateLoad;
    gpGameStateInit = gameStateOther;
    gpGameStateUpdate = gameStateOther;
    gpGameStateDraw = gameStateOther;
    gpGameStateFree = gameStateOther;
}
