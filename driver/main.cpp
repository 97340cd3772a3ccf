#include "run.h"
#include "system.h"

int main(int argc, char** argv) {
    return bmp2tvx::RunProgram(argc, argv, bmp2tvx::RunConversion);
}
