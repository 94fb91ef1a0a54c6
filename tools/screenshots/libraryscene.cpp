#include "libraryscene.h"

#include "shots.h"

LibraryScene::~LibraryScene()
{
    page.reset();
    if (categories)
        categories->WaitForTasks();
    if (videos)
        videos->WaitForTasks();
}

bool LibraryScene::Start(QString* error)
{
    if (!env.Start(error))
        return false;
    *error = env.Login(QString::fromLatin1(orvsrv::kDemoMainEmail));
    if (!error->isEmpty())
        return false;
    categories = std::make_unique<CategoryTreeModel>();
    videos = std::make_unique<VideoTableModel>(categories.get());
    page = std::make_unique<VideoListWidget>(env.Services(categories.get(), videos.get()));
    page->resize(1020, 592);
    page->show();
    page->Init();
    if (!QTest::qWaitFor([&] { return videos->rowCount() > 0 && !videos->HasTask(); }, 20000)) {
        *error = QStringLiteral("the first page of videos did not load");
        return false;
    }
    return true;
}

bool LibraryScene::WaitIdle()
{
    return QTest::qWaitFor([&] { return !videos->HasTask(); }, 20000);
}

int RunLibraryShots(int& argc, char** argv, const std::function<void(Shots&, LibraryScene&)>& body)
{
    Shots shots(argc, argv);
    LibraryScene scene;
    QString error;
    if (!scene.Start(&error))
        return Shots::Fail("environment", error);
    body(shots, scene);
    return shots.ExitCode();
}
