#include "VelquistApp.h"

int main(int argc, char** argv)
{
    CVelquistApp app(argc, argv);
    return app.Run();
}
