#pragma once
// The library page as the library screenshot programs start it: the platform
// server in-process, the demo main account logged in, both shared models and
// the page showing its first page of videos.

#include "modelenv.h"

#include "model/categorytreemodel.h"
#include "model/videotablemodel.h"
#include "ui/videolist/videolistwidget.h"

#include <functional>
#include <memory>

class Shots;

class LibraryScene
{
public:
    // Waits for the models' work before the environment goes.
    ~LibraryScene();

    // False with `error` set when the server, the login or the first page failed.
    bool Start(QString* error);
    // Whether the video model finished its work within the time.
    bool WaitIdle();

    orvtest::ModelEnv env;
    std::unique_ptr<CategoryTreeModel> categories;
    std::unique_ptr<VideoTableModel> videos;
    std::unique_ptr<VideoListWidget> page;
};

// The main of a library screenshot program: the application, the started
// scene, then `body`; returns the exit code.
int RunLibraryShots(int& argc, char** argv, const std::function<void(Shots&, LibraryScene&)>& body);
