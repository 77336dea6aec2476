// The viewer program: the application, the main window, and the first argument
// as the picture it opens when it is shown.
#include "viewer/ErrorReport.h"
#include "viewer/MainForm.h"
#include "viewer/TavoApplication.h"

int main(int argc, char** argv)
{
    tavo::TavoApplication application(argc, argv);
    tavo::TfrmTavo2MainForm form;
    if (argc > 1)
        form.strCurFile = argv[1];
    form.show();
    return application.exec();
}
