#include <cstdio>

#include "app/extract_app.h"

int main(int argc, char** argv) {
    const tarvix::StartRequest request = tarvix::CExtractApp::ReadCommandLine(argc, argv);
    if (request.exitCode) return *request.exitCode;
    tarvix::CExtractApp app(argc, argv);
    return app.InitInstance(request.archive);
}
