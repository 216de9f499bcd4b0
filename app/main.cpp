#include "app/PlayerApplication.h"

int main(int argc, char** argv) {
    tessel::CPlayerApplication app(argc, argv);
    return app.Run();
}
