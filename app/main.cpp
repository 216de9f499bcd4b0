#include "app/CadenzoApp.h"

int main(int argc, char** argv) {
    tessel::CCadenzoApp app(argc, argv);
    return app.Run();
}
