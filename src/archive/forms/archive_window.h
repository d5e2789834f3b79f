#pragma once
// What the program's start needs of the archive window, without the archive's document model.
namespace qv {

class TForm;

// Creates the archive window as the program's main form (it creates the logger window); when
// its start-up ends the program, the application is terminated already.
TForm* CreateArchiveWindow();
// SIGTERM's end of the archive: documents stay as they are on disk, the user is logged off and
// the end recorded, without questions. Nothing without an archive window.
void EndArchiveWithoutQuestions();

}  // namespace qv
