#include "ui/common/showinexplorer.h"

#include "platform/platform.h"

void ShowInExplorer(const QString& path)
{
    platform::ShowInExplorer(path);
}
