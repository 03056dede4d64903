// The program's entry: the guard first, then the application, then the main
// dialog; the process ends when the dialog closes.
#include <QApplication>

#include "orvendel_app.h"

SingleInstanceGuard g_instanceGuard;
COrvendelApp theApp;

int main(int argc, char* argv[]) {
    // The program takes nothing from its command line: the application object
    // gets the program's name only, so no option of the toolkit's reaches it.
    char name[] = "orvendel";
    char* args[] = {argc > 0 && argv[0] ? argv[0] : name, nullptr};
    int count = 1;
    QApplication application(count, args);
    theApp.InitInstance();
    return 0;
}
