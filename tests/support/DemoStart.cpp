#include "DemoStart.h"

#include <unistd.h>

#include "GameState.h"
#include "ORV.h"

namespace orvtest {

bool StartDemo(int width, int height) {
    if (chdir(ORV_SOURCE_DIR) != 0) return false;
    ORV::System* pSystem = ORV::System::Instance();
    pSystem->mWidth = width;
    pSystem->mHeight = height;
    ORV::Input::Instance();
    gameStateRegister();
    gpGameStateLoad();
    gpGameStateInit();
    return true;
}

void UpdateWithKey(uint8_t key) {
    ORV::Input* pInput = ORV::Input::Instance();
    pInput->mpKeyStatePrev[key] = 0;
    pInput->mpKeyStateCurr[key] = 0x80;
    gpGameStateUpdate();
    pInput->mpKeyStatePrev[key] = 0x80;
    pInput->mpKeyStateCurr[key] = 0;
}

}  // namespace orvtest
