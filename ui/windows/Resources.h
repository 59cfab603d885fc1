#pragma once

// The program's resources (app/windows/tavlun.rc).
#define TAVLUN_ICON 1
#define TAVLUN_ACCESSORY_PICTURE 2
#define TAVLUN_HAND_POINTER 3
