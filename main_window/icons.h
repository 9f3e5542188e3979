#pragma once
// The window's pictures, drawn here so they look the same on every desktop.
#include <QIcon>

namespace quorvel::icons {

QIcon Workbook();     // job-list image 1: a workbook file
QIcon Folder();       // job-list image 2: a folder
QIcon Missing();      // job-list image 3: nothing at that path
QIcon AddWorkbook();  // "Add Excel"
QIcon AddFolder();    // "Add Folder"
QIcon RemoveFile();   // "Remove File"
QIcon Convert();      // "Convert"
QIcon Cancel();       // "Convert" while a run lasts: "Cancel"
QIcon HelpBook();     // "Help"
QIcon Home();         // "HomePage"
QIcon ExitDoor();     // "Exit"
QIcon ArrowUp();      // move the job up
QIcon ArrowDown();    // move the job down
QIcon Product();      // the window icon

}  // namespace quorvel::icons
