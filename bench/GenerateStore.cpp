// Builds a Caldrin store of many apps with realistic data, for the benchmarks and
// for trying the application at scale:
//   caldrin-generate-store [--apps N] [--seed S] [--force] <path/to/caldrin.sqlite>
// The schema comes from the store layer itself, so the file is a valid store.
#include "AppModel.h"
#include "IAPItem.h"
#include "ModelContainer.h"
#include "ModelContext.h"
#include "SqliteDatabase.h"
#include "SqliteStatement.h"
#include "StoreError.h"
#include "StoreSchema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QStringList>

#include <cstdio>
#include <random>

namespace {

const QStringList kAdjectives = {
    "Happy",  "Smart",  "Quick",   "Tiny",   "Super",  "Magic", "Daily",  "Simple",  "Pocket", "Cosmic",
    "Little", "Mighty", "Zen",     "Pixel",  "Hyper",  "Lucky", "Secret", "Crystal", "Golden", "Wild",
    "Calm",   "Bright", "Retro",   "Neon",   "Urban",  "Swift", "Clever", "Brave",   "Sunny",  "Frosty",
    "Epic",   "Easy",   "Instant", "Mobile", "Social", "Total", "Ultra",  "Royal",   "Silent", "Rapid"};
const QStringList kNouns = {"Puzzle",  "Photo",   "Notes",   "Budget",     "Fitness",  "Recipe", "Timer",
                            "Weather", "Scanner", "Music",   "Racing",     "Farm",     "Chess",  "Sudoku",
                            "Journal", "Planner", "Tracker", "Camera",     "Editor",   "Radio",  "Quest",
                            "Kingdom", "Dungeon", "Garden",  "Kitchen",    "Wallet",   "Habit",  "Sleep",
                            "Yoga",    "Runner",  "Maps",    "Translator", "Keyboard", "Widget", "Calendar",
                            "Shooter", "Blast",   "Match",   "Solitaire",  "Tiles",    "Studio", "Lab",
                            "Coach",   "Diary",   "Clock",   "Flashcards", "Quiz",     "Story",  "Merge",
                            "Idle"};
const QStringList kSuffixes = {"",
                               "",
                               "",
                               "",
                               " Pro",
                               " Lite",
                               " HD",
                               " 2",
                               " Plus",
                               ": Brain Training",
                               " - Offline",
                               " for Kids",
                               " Max",
                               " 3D",
                               " Go",
                               " & Friends",
                               ": Idle Tycoon",
                               " Premium"};
const QStringList kAccented = {"Café Finder",    "Über Notes",      "Señor Taco",    "Straße Navigator",
                               "Crème Brûlée",   "Ökoplaner",       "Jeux de Mots",  "Résumé Builder",
                               "Smörgåsbord",    "Zürich Transit",  "Ärzte Termin",  "Fußball Manager",
                               "Ça Va Français", "Ñandú Runner",    "Øresund Guide", "Łódź Bus",
                               "ÉCOLE Planner",  "Déjà Vu Puzzles", "Mañana Tasks",  "Göteborg Weather"};
const QStringList kCjk = {"パズル",     "日記",   "天气",     "家計簿",   "写真編集", "맛집 지도",
                          "漢字クイズ", "英単語", "记账本",   "音乐播放", "麻雀",     "将棋",
                          "번역기",     "カメラ", "レシピ帳", "健康管理", "地图导航", "学习助手"};
const QStringList kSurnames = {"Nordlicht", "Blue Whale", "Appfactory", "Kim",     "Garcia",   "Nguyen",
                               "Okafor",    "Larsen",     "Rossi",      "Dubois",  "Kowalski", "Tanaka",
                               "Silva",     "Patel",      "Ivanova",    "Cohen",   "Mbeki",    "O'Brien",
                               "Anderson",  "Fischer",    "Moreau",     "Haddad",  "Novak",    "Sato",
                               "Hughes",    "Lindqvist",  "Bergström",  "Müller",  "Schäfer",  "Jürgens",
                               "Peña",      "Çelik",      "Horvát",     "Svoboda", "Wójcik",   "Brightside"};
const QStringList kCompanySuffixes = {"Studios", "Labs",         "Inc.", "LLC",  "GmbH",  "Software",
                                      "Apps",    "Games",        "Ltd",  "Co.",  "Media", "Interactive",
                                      "Digital", "Technologies", "AB",   "S.L.", "",      ""};
const QStringList kCjkDevelopers = {"株式会社サクラ", "北京星辰科技有限公司", "주식회사 한빛",
                                    "合同会社ミライ", "深圳乐游网络",         "株式会社コトブキ"};
const QStringList kFirstNames = {"Anna", "Jürgen", "Chen", "María", "Olu",
                                 "Sven", "Priya",  "Yuki", "Luca",  "Zoë"};

struct Category {
    const char* name;
    const char* id;
    int weight;
};
const Category kCategories[] = {{"Games", "6014", 240},
                                {"Entertainment", "6016", 60},
                                {"Education", "6017", 70},
                                {"Photo & Video", "6008", 40},
                                {"Utilities", "6002", 70},
                                {"Lifestyle", "6012", 60},
                                {"Productivity", "6007", 50},
                                {"Health & Fitness", "6013", 50},
                                {"Business", "6000", 60},
                                {"Social Networking", "6005", 20},
                                {"Finance", "6015", 30},
                                {"Music", "6011", 20},
                                {"Travel", "6003", 20},
                                {"Shopping", "6024", 30},
                                {"Food & Drink", "6023", 25},
                                {"Sports", "6004", 15},
                                {"Reference", "6006", 15},
                                {"Navigation", "6010", 10},
                                {"News", "6009", 10},
                                {"Weather", "6001", 5},
                                {"Books", "6018", 15},
                                {"Medical", "6020", 15},
                                {"Graphics & Design", "6027", 15},
                                {"Developer Tools", "6026", 5},
                                {"Magazines & Newspapers", "6021", 5}};

const QStringList kWords = {
    "the",          "app",           "your",      "with",      "and",         "for",          "every",
    "day",          "simple",        "easy",      "track",     "progress",    "friends",      "share",
    "new",          "levels",        "unlock",    "premium",   "features",    "offline",      "sync",
    "across",       "devices",       "beautiful", "design",    "widgets",     "dark",         "mode",
    "support",      "privacy",       "first",     "no",        "ads",         "subscription", "free",
    "trial",        "challenge",     "yourself",  "hundreds",  "of",          "puzzles",      "relaxing",
    "music",        "stunning",      "graphics",  "plan",      "meals",       "budget",       "habits",
    "sleep",        "better",        "learn",     "languages", "quickly",     "powerful",     "tools",
    "photos",       "videos",        "edit",      "filters",   "effects",     "export",       "high",
    "quality",      "notifications", "reminders", "calendar",  "integration", "health",       "data",
    "secure",       "cloud",         "backup",    "family",    "sharing",     "kids",         "safe",
    "content",      "weekly",        "updates",   "community", "events",      "rewards",      "collect",
    "build",        "explore",       "world",     "adventure", "strategy",    "battle",       "compete",
    "leaderboards", "achievements",  "customize", "themes",    "icons",       "fonts",        "layouts",
    "fast"};

QString pick(std::mt19937_64& random, const QStringList& list) {
    return list.at(static_cast<qsizetype>(random() % static_cast<quint64>(list.size())));
}

class Generator {
public:
    explicit Generator(quint64 seed)
        : m_random(seed) {
        for (const Category& category : kCategories)
            m_categoryWeightTotal += category.weight;
        for (int i = 0; i < 600; ++i)
            m_paragraphs.append(paragraph());
    }

    QString name() {
        const quint64 roll = m_random() % 100;
        if (roll < 10)
            return pick(m_random, kAccented) + pick(m_random, kSuffixes);
        if (roll < 17)
            return pick(m_random, kCjk) +
                   (m_random() % 2 ? QString() : QStringLiteral(" ") + pick(m_random, kNouns));
        if (roll < 19)
            return QStringLiteral("🎮 ") + pick(m_random, kAdjectives) + QStringLiteral(" ") +
                   pick(m_random, kNouns);
        if (roll < 34)
            return pick(m_random, kNouns) + pick(m_random, kNouns) + pick(m_random, kSuffixes);
        if (roll < 37)
            return (pick(m_random, kAdjectives) + QStringLiteral(" ") + pick(m_random, kNouns)).toUpper();
        return pick(m_random, kAdjectives) + QStringLiteral(" ") + pick(m_random, kNouns) +
               pick(m_random, kSuffixes);
    }

    QString developer() {
        const quint64 roll = m_random() % 100;
        if (roll < 4)
            return pick(m_random, kCjkDevelopers);
        if (roll < 20)
            return pick(m_random, kFirstNames) + QStringLiteral(" ") + pick(m_random, kSurnames);
        const QString suffix = pick(m_random, kCompanySuffixes);
        return pick(m_random, kSurnames) + (suffix.isEmpty() ? QString() : QStringLiteral(" ") + suffix);
    }

    const Category& category() {
        int roll = static_cast<int>(m_random() % static_cast<quint64>(m_categoryWeightTotal));
        for (const Category& category : kCategories) {
            if (roll < category.weight)
                return category;
            roll -= category.weight;
        }
        return kCategories[0];
    }

    QString description() {
        // Two to six paragraphs from a pool: 1.5 to 4.5 kB.
        QString text;
        const int paragraphs = 2 + static_cast<int>(m_random() % 5);
        for (int i = 0; i < paragraphs; ++i) {
            if (i)
                text += QStringLiteral("\n\n");
            text += m_paragraphs.at(
                static_cast<qsizetype>(m_random() % static_cast<quint64>(m_paragraphs.size())));
        }
        return text;
    }

    QByteArray screenshots(const QString& appleID) {
        QJsonArray urls;
        const int count = 3 + static_cast<int>(m_random() % 6);
        for (int i = 0; i < count; ++i)
            urls.append(QStringLiteral("https://is%1-ssl.mzstatic.com/image/thumb/PurpleSource%2/v4/%3/%4/"
                                       "%5-screen-%6.png/392x696bb.png")
                            .arg(1 + m_random() % 5)
                            .arg(116 + m_random() % 12)
                            .arg(m_random() % 256, 2, 16, QLatin1Char('0'))
                            .arg(m_random() % 256, 2, 16, QLatin1Char('0'))
                            .arg(appleID)
                            .arg(i));
        return QJsonDocument(urls).toJson(QJsonDocument::Compact);
    }

    QByteArray purchases() {
        static const QStringList names = {"Remove Ads",     "Coins Pack", "Premium Monthly", "Premium Yearly",
                                          "Starter Bundle", "Gem Chest",  "Lifetime Unlock", "Extra Lives"};
        QList<IAPItem> items;
        const int count = 1 + static_cast<int>(m_random() % 6);
        for (int i = 0; i < count; ++i)
            items.append(IAPItem{pick(m_random, names), QStringLiteral("$%1.99").arg(m_random() % 50)});
        return IAPItem::encodeList(items);
    }

    quint64 next() { return m_random(); }

private:
    QString paragraph() {
        QString text;
        const int words = 40 + static_cast<int>(m_random() % 80);
        for (int i = 0; i < words; ++i) {
            QString word = pick(m_random, kWords);
            if (i == 0 || text.endsWith(QLatin1Char('.')))
                word[0] = word[0].toUpper();
            if (i)
                text += QLatin1Char(' ');
            text += word;
            if (m_random() % 12 == 0 || i + 1 == words)
                text += QLatin1Char('.');
        }
        return text;
    }

    std::mt19937_64 m_random;
    int m_categoryWeightTotal = 0;
    QStringList m_paragraphs;
};

QString slug(const QString& text) {
    QString result;
    for (const QChar c : text.toLower()) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80)
            result += c;
        else if (!result.endsWith(QLatin1Char('-')))
            result += QLatin1Char('-');
    }
    return result.isEmpty() ? QStringLiteral("app") : result;
}

void generate(const QString& path, qint64 apps, quint64 seed) {
    // The store layer creates the file, so that its schema and marks are the
    // program's own; the rows go in directly, without the indexes, which are
    // built once at the end.
    ModelContainer::open(path).reset();
    SqliteDatabase database;
    database.open(path);
    database.exec("PRAGMA journal_mode = OFF");
    database.exec("PRAGMA synchronous = OFF");
    database.exec("PRAGMA cache_size = -524288");
    {
        QByteArrayList indexes;
        SqliteStatement list(database, "SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                       "tbl_name = 'AppModel' AND sql IS NOT NULL");
        while (list.step())
            indexes.append(list.text(0).toUtf8());
        for (const QByteArray& index : indexes)
            database.exec("DROP INDEX " + index);
    }

    Generator generator(seed);
    const qint64 start = QDateTime(QDate(2022, 1, 1), QTime(7, 0), Qt::UTC).toMSecsSinceEpoch();
    const qint64 day = 24 * 3600 * 1000LL;
    const qint64 days = 1300;
    QElapsedTimer timer;
    timer.start();
    database.exec("BEGIN");
    SqliteStatement insert(
        database,
        "INSERT INTO AppModel (appleID, name, bundleID, developerName, developerURL, appStoreURL, price, "
        "currency, priceLabel, category, categoryID, releaseDate, releaseDateString, iconURL, copyright, "
        "fetchedAt, rating, ratingCount, appSize, appVersion, ageRating, hasInAppPurchases, "
        "inAppPurchaseInfo, detailsFetched, isViewed, screenshotURLs, inAppPurchaseItems, appDescription) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    qint64 appleID = 1'500'000'000;
    for (qint64 i = 0; i < apps; ++i) {
        // Collected roughly in release order over three and a half years; feed
        // release dates are whole days, so many apps share one.
        const qint64 jitter = static_cast<qint64>(generator.next() % 7) - 3;
        const qint64 releaseDay = std::clamp<qint64>(i * days / std::max<qint64>(apps, 1) + jitter, 0, days);
        const QDateTime release = QDateTime::fromMSecsSinceEpoch(start + releaseDay * day, Qt::UTC);
        const qint64 fetchedAt =
            release.toMSecsSinceEpoch() + static_cast<qint64>(generator.next() % (2 * day));
        appleID += 1 + static_cast<qint64>(generator.next() % 40);
        const QString id = QString::number(appleID);
        const QString name = generator.name();
        const QString developer = generator.developer();
        const Category& category = generator.category();
        const bool paid = generator.next() % 100 < 22;
        const double price = paid ? 0.99 + static_cast<double>(generator.next() % 20) : 0.0;
        const bool recent = i > apps * 98 / 100;
        const bool fetched = generator.next() % 100 < (recent ? 50u : 85u);
        const bool viewed = generator.next() % 100 < (i < apps * 7 / 10 ? 6u : 2u);
        const QString developerSlug = slug(developer);

        int c = 1;
        insert.bind(c++, id);
        insert.bind(c++, name);
        insert.bind(c++, QStringLiteral("com.%1.%2").arg(developerSlug, slug(name)));
        insert.bind(c++, developer);
        if (generator.next() % 10)
            insert.bind(c++, QStringLiteral("https://apps.apple.com/us/developer/%1/id%2")
                                 .arg(developerSlug)
                                 .arg(1'000'000'000 + generator.next() % 700'000'000));
        else
            insert.bindNull(c++);
        insert.bind(c++, QStringLiteral("https://apps.apple.com/us/app/%1/id%2").arg(slug(name), id));
        insert.bind(c++, price);
        insert.bind(c++, QStringLiteral("USD"));
        insert.bind(c++, paid ? QStringLiteral("$%1").arg(price, 0, 'f', 2) : QStringLiteral("Get"));
        insert.bind(c++, QString::fromUtf8(category.name));
        insert.bind(c++, QString::fromUtf8(category.id));
        insert.bind(c++, release.toMSecsSinceEpoch());
        insert.bind(c++, QLocale::c().toString(release.date(), QStringLiteral("MMM d, yyyy")));
        insert.bind(c++,
                    QStringLiteral("https://is%1-ssl.mzstatic.com/image/thumb/Purple%2/v4/%3/AppIcon-0-0-1x_"
                                   "U007emarketing-0-7-0-85-220.png/100x100bb.png")
                        .arg(1 + generator.next() % 5)
                        .arg(100 + generator.next() % 60)
                        .arg(id));
        insert.bind(c++, QStringLiteral("© %1 %2").arg(release.date().year()).arg(developer));
        insert.bind(c++, fetchedAt);
        if (fetched && generator.next() % 4) {
            insert.bind(c++, 1.0 + static_cast<double>(generator.next() % 400) / 100.0);
            insert.bind(c++, static_cast<qint64>(generator.next() % 5000));
        } else {
            insert.bindNull(c++);
            insert.bindNull(c++);
        }
        const bool purchases = fetched && generator.next() % 100 < 30;
        if (fetched) {
            insert.bind(c++, QStringLiteral("%1 MB").arg(5 + generator.next() % 400));
            insert.bind(c++, QStringLiteral("%1.%2.%3")
                                 .arg(1 + generator.next() % 5)
                                 .arg(generator.next() % 10)
                                 .arg(generator.next() % 20));
            insert.bind(c++, QStringLiteral("%1+").arg(QList<int>{4, 9, 12, 17}.at(generator.next() % 4)));
            insert.bind(c++, purchases);
            if (purchases)
                insert.bind(c++, QStringLiteral("Offers In-App Purchases"));
            else
                insert.bindNull(c++);
        } else {
            for (int k = 0; k < 5; ++k)
                insert.bindNull(c++);
        }
        insert.bind(c++, fetched);
        insert.bind(c++, viewed);
        if (fetched) {
            insert.bind(c++, QString::fromUtf8(generator.screenshots(id)));
            if (purchases)
                insert.bind(c++, QString::fromUtf8(generator.purchases()));
            else
                insert.bindNull(c++);
            insert.bind(c++, generator.description());
        } else {
            for (int k = 0; k < 3; ++k)
                insert.bindNull(c++);
        }
        insert.run();
        insert.reset();
        if ((i + 1) % 100'000 == 0) {
            std::printf("  %lld apps, %.0f s\n", static_cast<long long>(i + 1), timer.elapsed() / 1000.0);
            std::fflush(stdout);
        }
    }
    database.exec("COMMIT");
    std::printf("rows written in %.0f s; building the indexes\n", timer.elapsed() / 1000.0);
    std::fflush(stdout);
    StoreSchema::prepare(database);
    database.exec("PRAGMA journal_mode = WAL");
    database.close();
    std::printf("indexes built, %.0f s in all\n", timer.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds a Caldrin store of many apps with realistic data."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("apps"), QStringLiteral("Number of apps (default 1000000)."),
                      QStringLiteral("n"), QStringLiteral("1000000")});
    parser.addOption(
        {QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("n"), QStringLiteral("7")});
    parser.addOption({QStringLiteral("force"), QStringLiteral("Replace an existing file.")});
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("The store file to create."));
    parser.process(application);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString path = parser.positionalArguments().first();
    bool ok = false;
    const qint64 apps = parser.value(QStringLiteral("apps")).toLongLong(&ok);
    if (!ok || apps < 0) {
        std::fprintf(stderr, "--apps needs a number of apps\n");
        return 2;
    }
    if (QFile::exists(path)) {
        if (!parser.isSet(QStringLiteral("force"))) {
            std::fprintf(stderr, "%s exists; use --force to replace it\n", qPrintable(path));
            return 2;
        }
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
    }
    try {
        generate(path, apps, parser.value(QStringLiteral("seed")).toULongLong());
        // Read back through the store layer: the file must open as a store.
        auto container = ModelContainer::open(path);
        std::printf("store %s holds %lld apps\n", qPrintable(path),
                    static_cast<long long>(container->mainContext().count<AppModel>()));
    } catch (const StoreError& error) {
        std::fprintf(stderr, "store error: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
