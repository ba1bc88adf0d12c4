#include "app/extract_app.h"

int main(int argc, char** argv) {
    tarvix::CExtractApp app(argc, argv);
    return app.InitInstance();
}
