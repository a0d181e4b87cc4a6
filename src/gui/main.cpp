// The desktop application's entry point.
#include "gui/app/application.h"

int main(int argc, char** argv) { return scrivel::gui::RunApplication(argc, argv); }
