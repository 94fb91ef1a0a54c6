#pragma once
// The services the shell's windows work with. The application creates and
// owns them for the whole run and hands this set to each window it builds;
// windows keep the pointers and never look the services up themselves.

class AccountManager;
class CategoryTreeModel;
class Config;
class DBManager;
class SDKManager;
class VideoTableModel;

struct ShellServices
{
    Config* config = nullptr;
    AccountManager* accounts = nullptr;
    SDKManager* uploads = nullptr;
    DBManager* database = nullptr;
    CategoryTreeModel* categories = nullptr;
    VideoTableModel* videos = nullptr;
};
