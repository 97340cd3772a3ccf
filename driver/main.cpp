#include "driver/run.h"

int main(int argc, char** argv) {
    return bmp2tvx::RunConversion(argc, argv);
}
