#include "ui/resources.h"

#include <QtGlobal>

static void InitImageResources()
{
    // One line per image/<name>.qrc.
    Q_INIT_RESOURCE(image);
    Q_INIT_RESOURCE(shell);
    Q_INIT_RESOURCE(transfer);
    Q_INIT_RESOURCE(videoedit);
}

void InitOrvaneResources()
{
    static const bool done = (InitImageResources(), true);
    Q_UNUSED(done);
}
