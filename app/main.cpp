#include "app/PlayerApplication.h"
#include "app/StartTrace.h"

int main(int argc, char** argv) {
    tessel::BeginStartTrace();
    tessel::CPlayerApplication app(argc, argv);
    return app.Run();
}
