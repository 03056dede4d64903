// The program's entry: the guard first, then the application, then the main
// dialog; the process ends when the dialog closes.
#include <QApplication>

#include "orvendel_app.h"

SingleInstanceGuard g_instanceGuard;
COrvendelApp theApp;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    theApp.InitInstance();
    return 0;
}
