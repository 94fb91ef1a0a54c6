#include "cli/cliargs.h"

#include <QUrl>

#include <limits>

namespace {

struct CommandName
{
    const char* name;
    CliArgs::Command command;
    int minArgs;
    int maxArgs; // -1: any number
};

const CommandName kCommands[] = {
    {"help", CliArgs::Help, 0, 0},      {"login", CliArgs::Login, 0, 0},   {"logout", CliArgs::Logout, 0, 0},
    {"upload", CliArgs::Upload, 1, -1}, {"resume", CliArgs::Resume, 0, 0}, {"list", CliArgs::List, 0, 0},
    {"delete", CliArgs::Delete, 1, -1}, {"watch", CliArgs::Watch, 1, 1},
};

// Options that take a value, and the commands they belong to (empty: every command).
enum class Opt
{
    Email,
    Category,
    Title,
    Tags,
    Parallel,
    Limit,
    ApiUrl,
    Cacert,
    Proxy,
    Settle,
};

struct ValueOption
{
    const char* name;
    Opt opt;
};

const ValueOption kValueOptions[] = {
    {"--email", Opt::Email},    {"--category", Opt::Category}, {"--title", Opt::Title},
    {"--tags", Opt::Tags},      {"--parallel", Opt::Parallel}, {"--limit", Opt::Limit},
    {"--api-url", Opt::ApiUrl}, {"--cacert", Opt::Cacert},     {"--proxy", Opt::Proxy},
    {"--settle", Opt::Settle},
};

bool ToInt(const QString& text, qint64 min, qint64 max, qint64* out)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

bool Apply(Opt opt, const QString& name, const QString& value, CliArgs* a, QString* error)
{
    qint64 n = 0;
    const auto bad = [&] {
        *error = CliArgs::tr("invalid value for %1: %2").arg(name, value);
        return false;
    };
    switch (opt) {
    case Opt::Email:
        a->email = value.trimmed();
        return !a->email.isEmpty() || bad();
    case Opt::Category:
        if (!ToInt(value, 1, std::numeric_limits<qint64>::max(), &n))
            return bad();
        a->cateId = n;
        return true;
    case Opt::Title:
        a->title = value;
        return true;
    case Opt::Tags:
        a->tags = value;
        return true;
    case Opt::Parallel:
        if (!ToInt(value, 1, 16, &n))
            return bad();
        a->parallel = static_cast<int>(n);
        return true;
    case Opt::Limit:
        if (!ToInt(value, 0, 10 * 1024 * 1024, &n))
            return bad();
        a->limitKBps = static_cast<int>(n);
        return true;
    case Opt::ApiUrl: {
        const QUrl url(value);
        if (!url.isValid() ||
            (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")) ||
            url.host().isEmpty())
            return bad();
        a->apiUrl = value;
        return true;
    }
    case Opt::Cacert:
        a->cacert = value;
        return !value.isEmpty() || bad();
    case Opt::Proxy: {
        CliProxy p;
        if (!CliProxy::Parse(value, &p))
            return bad();
        a->proxy = value;
        return true;
    }
    case Opt::Settle:
        if (!ToInt(value, 0, 3600, &n))
            return bad();
        a->settleSeconds = static_cast<int>(n);
        return true;
    }
    return bad();
}

} // namespace

bool CliArgs::Parse(const QStringList& arguments, CliArgs* a, QString* error)
{
    *a = CliArgs();
    const CommandName* command = nullptr;
    bool onlyPositional = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString arg = arguments[i];
        if (!onlyPositional && arg == QLatin1String("--")) {
            onlyPositional = true;
            continue;
        }
        if (!onlyPositional && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
                a->command = Help;
                return true;
            }
            if (arg == QLatin1String("--version")) {
                a->command = Version;
                return true;
            }
            if (arg == QLatin1String("--json")) {
                a->json = true;
                continue;
            }
            if (arg == QLatin1String("--password-stdin")) {
                a->passwordStdin = true;
                continue;
            }
            // --name=value or --name value
            const int eq = arg.indexOf(QLatin1Char('='));
            const QString name = eq > 0 ? arg.left(eq) : arg;
            const ValueOption* option = nullptr;
            for (const ValueOption& o : kValueOptions)
                if (name == QLatin1String(o.name))
                    option = &o;
            if (!option) {
                *error = CliArgs::tr("unknown option: %1").arg(arg);
                return false;
            }
            QString value;
            if (eq > 0) {
                value = arg.mid(eq + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                *error = CliArgs::tr("missing value for %1").arg(name);
                return false;
            }
            if (!Apply(option->opt, name, value, a, error))
                return false;
            continue;
        }
        if (!command) {
            for (const CommandName& c : kCommands)
                if (arg == QLatin1String(c.name))
                    command = &c;
            if (!command) {
                *error = CliArgs::tr("unknown command: %1").arg(arg);
                return false;
            }
            continue;
        }
        a->positional << arg;
    }
    if (!command) {
        *error = CliArgs::tr("no command given");
        return false;
    }
    a->command = command->command;
    const int n = a->positional.size();
    if (n < command->minArgs || (command->maxArgs >= 0 && n > command->maxArgs)) {
        *error = CliArgs::tr("wrong number of arguments for %1").arg(QLatin1String(command->name));
        return false;
    }
    return true;
}

QString CliArgs::Usage()
{
    return CliArgs::tr(
        "Usage: orvane-upload COMMAND [OPTIONS]\n"
        "\n"
        "Commands:\n"
        "  login [--email E] [--password-stdin]   log in and remember the account\n"
        "  logout                                 forget the remembered password\n"
        "  upload FILE... [--category ID] [--title T] [--tags T] [--parallel N] [--limit KBps]\n"
        "                                         upload the files and wait until they end\n"
        "  resume [--parallel N] [--limit KBps]   run the account's unfinished uploads\n"
        "  list                                   print the upload queue and the history\n"
        "  delete VID...                          delete videos (and their queued uploads)\n"
        "  watch DIR [--category ID] [--settle S] upload every new video or audio file in DIR\n"
        "\n"
        "Options for every command:\n"
        "  --json             one JSON object per event line (the default when not on a terminal)\n"
        "  --api-url URL      platform address (default: the client's settings)\n"
        "  --cacert FILE      CA bundle for the platform's certificate\n"
        "  --proxy HOST:PORT  HTTP proxy ([http://][user[:password]@]host:port)\n"
        "\n"
        "Exit codes: 0 all uploaded, 1 some failed, 2 usage or login error, 130 interrupted\n"
        "(the uploads are paused and continue with \"orvane-upload resume\").\n");
}

bool CliProxy::Parse(const QString& text, CliProxy* proxy)
{
    QString t = text.trimmed();
    if (!t.contains(QStringLiteral("://")))
        t.prepend(QStringLiteral("http://"));
    const QUrl url(t, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("http") || url.host().isEmpty() || url.port() <= 0)
        return false;
    proxy->host = url.host();
    proxy->port = url.port();
    proxy->user = url.userName(QUrl::FullyDecoded);
    proxy->password = url.password(QUrl::FullyDecoded);
    return true;
}
