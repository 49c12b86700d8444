// GameState.h - the table of game-state hooks the entry point drives.
//
// A game state supplies six functions without arguments or result and one
// registration function, gameStateRegister, that stores all six in the table
// below (the entry point calls every hook, so none may stay null):
//
//   gpGameStateLoad    once, after the window, GL context and GLEW are ready
//   gpGameStateInit    once, right after Load
//   gpGameStateUpdate  every frame, after the Input snapshot
//   gpGameStateDraw    every frame, after Update
//   gpGameStateFree    once, after the frame loop
//   gpGameStateUnload  once, after Free, while the GL context still exists
//
// Before all that, gameStateCommandLine (below) sees the command line.
//
// The hooks themselves are the game state's file statics named gameStateLoad,
// gameStateInit, ..., so that their reports read "Func: gameStateLoad".
#ifndef ORV_GAME_STATE_H
#define ORV_GAME_STATE_H

typedef void (*GameStateHook)();

inline GameStateHook gpGameStateLoad = nullptr;
inline GameStateHook gpGameStateInit = nullptr;
inline GameStateHook gpGameStateUpdate = nullptr;
inline GameStateHook gpGameStateDraw = nullptr;
inline GameStateHook gpGameStateFree = nullptr;
inline GameStateHook gpGameStateUnload = nullptr;

// Fills the six pointers above; defined by the game state.
void gameStateRegister();

// Hands the game state the program's arguments, before anything starts (no
// window yet). Returns -1 to start, or an exit status to end with at once
// (after printing help, or a usage error). Optional: a game state that does
// not define it gets the entry point's default, which ignores the arguments.
int gameStateCommandLine(int argc, char** argv);

#endif  // ORV_GAME_STATE_H
