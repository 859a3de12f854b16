#include "HcCompiler.h"

#include "Cp1252.h"
#include "HlpWriter.h"
#include "HpjFile.h"
#include "KivError.h"
#include "TopicParser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <optional>

namespace Hc {

namespace {

// Projects made on Windows write folders with backslashes.
QString slashed(QString path) {
    return path.replace(QLatin1Char('\\'), QLatin1Char('/')).trimmed();
}

std::optional<QByteArray> readBytes(const QString& path, QString* why = nullptr) {
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        if (why) *why = QStringLiteral("it is a folder");
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (why) *why = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

// Finds files as a Windows project names them: relative to the project
// folder or one of its search folders, and in any case.
class Finder {
public:
    Finder(const QString& dir, const QStringList& roots) : dir_(dir) {
        folders_ << dir;
        for (const QString& root : roots) {
            const QString r = slashed(root);
            QString folder = QDir::isAbsolutePath(r) ? r : dir + r;
            if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
            folders_ << folder;
        }
    }

    // The path of an existing file, or empty.
    QString find(const QString& name) {
        const QString n = slashed(name);
        if (QDir::isAbsolutePath(n)) return QFileInfo::exists(n) ? n : QString();
        for (const QString& folder : folders_) {
            const QString path = folder + n;
            if (QFileInfo::exists(path)) return path;
        }
        for (const QString& folder : folders_) {
            const QString path = folder + n;
            const QFileInfo info(path);
            const QString actual = inAnyCase(info.absolutePath(), info.fileName());
            if (!actual.isEmpty()) return actual;
        }
        return QString();
    }

    // Where a file that is not there would be, for messages.
    QString expected(const QString& name) const {
        const QString n = slashed(name);
        return QDir::isAbsolutePath(n) ? n : dir_ + n;
    }

private:
    QString dir_;
    QStringList folders_;
    QHash<QString, QHash<QString, QString>> listings_; // folder -> lower name -> name

    QString inAnyCase(const QString& folder, const QString& name) {
        auto it = listings_.find(folder);
        if (it == listings_.end()) {
            QHash<QString, QString> names;
            for (const QString& entry : QDir(folder).entryList(QDir::Files))
                names.insert(entry.toLower(), entry);
            it = listings_.insert(folder, names);
        }
        const auto found = it->constFind(name.toLower());
        return found == it->cend() ? QString() : folder + QLatin1Char('/') + *found;
    }
};

bool looksLikeBmp(const QByteArray& bytes) {
    if (bytes.size() < 26 || !bytes.startsWith("BM")) return false;
    const auto u32 = [&bytes](int at) {
        return quint32(uchar(bytes[at])) | quint32(uchar(bytes[at + 1])) << 8 |
               quint32(uchar(bytes[at + 2])) << 16 | quint32(uchar(bytes[at + 3])) << 24;
    };
    // The pixels must start inside the file, after the headers.
    return u32(10) >= 26 && u32(10) <= quint32(bytes.size()) && u32(14) >= 12;
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

class Compiler {
public:
    Compiler(const QString& projectFile, CompileResult& result)
        : result_(result), messages_(result.messages) {
        const QFileInfo info(projectFile);
        projectFile_ = info.absoluteFilePath();
        dir_ = info.absolutePath() + QLatin1Char('/');
        name_ = info.fileName();
        stem_ = name_.left(name_.indexOf(QLatin1Char('.')));
        if (stem_.isEmpty()) stem_ = name_;
    }

    Hlp::Project read();
    QString dir_, name_, stem_, projectFile_;
    HpjProject hpj;

private:
    CompileResult& result_;
    Messages& messages_;
    Hlp::Project project_;
    QHash<QString, int> contexts_; // upper case -> topic index
    QSet<QString> windows_;        // upper case

    void readTopics(Finder& files, Finder& bitmaps);
    void indexContexts();
    void checkWindowsAndJumps();
    void addMap();
    void readContents();
    bool contentsLines(const QString& path, QStringList& included, int depth);
    bool defined(const QString& context) const { return contexts_.contains(context.toUpper()); }
};

Hlp::Project Compiler::read() {
    QString why;
    const std::optional<QByteArray> bytes = readBytes(projectFile_, &why);
    result_.helpFile = dir_ + stem_ + QStringLiteral(".hlp");
    if (!bytes) {
        result_.errorLog = QFileInfo(dir_).isDir() ? dir_ + stem_ + QStringLiteral(".err") : "";
        messages_.error(ProjectUnreadable, name_, QString(),
                        QStringLiteral("Cannot read the project file: %1").arg(why));
        return project_;
    }
    const IncludeReader include = [this](const QString& name) -> std::optional<QByteArray> {
        Finder finder(dir_, {});
        const QString path = finder.find(name);
        return path.isEmpty() ? std::nullopt : readBytes(path);
    };
    hpj = ParseHpj(*bytes, name_, include, messages_);
    if (!hpj.errorLog.isEmpty()) {
        const QString log = slashed(hpj.errorLog);
        result_.errorLog = QDir::isAbsolutePath(log) ? log : dir_ + log;
    }
    if (!hpj.helpFile.isEmpty()) {
        const QString hlp = slashed(hpj.helpFile);
        result_.helpFile = QDir::isAbsolutePath(hlp) ? hlp : dir_ + hlp;
    }

    project_.title = hpj.title;
    project_.copyright = hpj.copyright;
    project_.citation = hpj.citation;
    project_.lcid = hpj.lcid;
    project_.compress = hpj.compress;
    project_.configMacros = hpj.config;
    project_.windows = hpj.windows;

    Finder files(dir_, hpj.roots);
    Finder bitmaps(dir_, hpj.bitmapRoots + hpj.roots);
    readTopics(files, bitmaps);
    indexContexts();
    checkWindowsAndJumps();
    addMap();
    readContents();

    result_.topics = int(project_.topics.size());
    QSet<QString> keywords;
    for (const Hlp::Topic& topic : project_.topics)
        for (const QString& k : topic.keywords)
            keywords.insert(k);
    result_.keywords = int(keywords.size());
    result_.bitmaps = int(project_.bitmaps.size());
    return std::move(project_);
}

void Compiler::readTopics(Finder& files, Finder& bitmaps) {
    QHash<QString, int> bitmapIndex; // lower-case name -> index, -1 when unusable
    QHash<QString, QString> bitmapProblem;
    const BitmapLookup lookup = [&](const QString& name, const QString& file,
                                    const QString& topic) {
        const QString key = name.toLower();
        auto it = bitmapIndex.constFind(key);
        if (it == bitmapIndex.cend()) {
            int index = -1;
            const QString path = bitmaps.find(name);
            std::optional<QByteArray> bytes;
            if (path.isEmpty()) {
                bitmapProblem.insert(key, QStringLiteral("Bitmap '%1' not found").arg(name));
            } else if (!(bytes = readBytes(path))) {
                bitmapProblem.insert(key, QStringLiteral("Bitmap '%1' cannot be read").arg(name));
            } else if (!looksLikeBmp(*bytes)) {
                bitmapProblem.insert(key, QStringLiteral("'%1' is not a Windows bitmap").arg(name));
            } else {
                project_.bitmaps.push_back({name, *bytes});
                index = int(project_.bitmaps.size() - 1);
            }
            it = bitmapIndex.insert(key, index);
        }
        if (*it < 0)
            messages_.warn(
                bitmapProblem.value(key).contains(QLatin1String("not a Windows")) ? BadBitmap
                                                                                  : MissingBitmap,
                file, topic,
                bitmapProblem.value(key) + QStringLiteral("; the topic goes without it"));
        return *it;
    };
    TopicParser parser(project_, messages_, lookup);
    for (const QString& name : hpj.files) {
        const QString path = files.find(name);
        QString why = QStringLiteral("no such file");
        const std::optional<QByteArray> bytes =
            path.isEmpty() ? std::nullopt : readBytes(path, &why);
        if (!bytes) {
            messages_.error(
                FileUnreadable, fileNameOf(slashed(name)), QString(),
                QStringLiteral("Cannot read the topic file %1: %2").arg(files.expected(name), why));
            continue;
        }
        parser.parse(*bytes, fileNameOf(slashed(name)));
    }
    result_.jumps = parser.hotspots();
}

void Compiler::indexContexts() {
    QHash<QString, int> ordinals; // the place of each topic in its file, for messages
    std::vector<int> ordinal(project_.topics.size());
    for (std::size_t t = 0; t < project_.topics.size(); ++t)
        ordinal[t] = ++ordinals[project_.topics[t].sourceFile];
    for (std::size_t t = 0; t < project_.topics.size(); ++t) {
        Hlp::Topic& topic = project_.topics[t];
        const QString label = TopicParser::label(topic, ordinal[t]);
        QStringList kept;
        for (const QString& context : topic.contexts) {
            const QString key = context.toUpper();
            const auto it = contexts_.constFind(key);
            if (it != contexts_.cend()) {
                messages_.warn(DuplicateContext, topic.sourceFile, label,
                               QStringLiteral("Context string '%1' is already used in %2; "
                                              "the first one is kept")
                                   .arg(context, project_.topics[std::size_t(*it)].sourceFile));
                continue;
            }
            contexts_.insert(key, int(t));
            kept << context;
        }
        topic.contexts = kept;
    }
    for (const auto& [alias, target] : hpj.aliases) {
        const auto it = contexts_.constFind(target.toUpper());
        if (it == contexts_.cend()) {
            messages_.warn(
                BadAlias, name_, QString(),
                QStringLiteral("Alias '%1' names undefined topic ID: '%2'").arg(alias, target));
        } else if (contexts_.contains(alias.toUpper())) {
            messages_.warn(
                DuplicateContext, name_, QString(),
                QStringLiteral("Alias '%1' is already a context string; ignored").arg(alias));
        } else {
            project_.topics[std::size_t(*it)].contexts << alias;
            contexts_.insert(alias.toUpper(), *it);
        }
    }
}

void Compiler::checkWindowsAndJumps() {
    windows_.insert(QStringLiteral("MAIN"));
    for (const Hlp::Window& w : project_.windows)
        windows_.insert(w.name.toUpper());
    QHash<QString, int> ordinals;
    for (Hlp::Topic& topic : project_.topics) {
        const QString label = TopicParser::label(topic, ++ordinals[topic.sourceFile]);
        if (!topic.window.isEmpty() && !windows_.contains(topic.window.toUpper())) {
            messages_.warn(UnknownWindow, topic.sourceFile, label,
                           QStringLiteral("Window '%1' is not defined; the topic shows in the "
                                          "main window")
                               .arg(topic.window));
            topic.window.clear();
        }
        for (auto* region : {&topic.nonScroll, &topic.scroll})
            for (Hlp::Paragraph& para : *region)
                for (Hlp::Span& span : para.spans) {
                    if (span.kind != Hlp::Span::HotspotStart ||
                        span.hotspot == Hlp::HotspotKind::Macro)
                        continue;
                    if (!span.window.isEmpty() && !windows_.contains(span.window.toUpper())) {
                        messages_.warn(
                            UnknownWindow, topic.sourceFile, label,
                            QStringLiteral("Jump to undefined window: '%1'").arg(span.window));
                        span.window.clear();
                    }
                    // A jump into another help file is that file's to resolve.
                    if (span.target.contains(QLatin1Char('@'))) continue;
                    if (!defined(span.target))
                        messages_.warn(
                            UndefinedJump, topic.sourceFile, label,
                            QStringLiteral("Jump to undefined topic ID: '%1'").arg(span.target));
                }
    }
}

void Compiler::addMap() {
    QSet<QString> mapped;
    for (const HpjProject::MapEntry& entry : hpj.map) {
        if (!defined(entry.context)) {
            messages_.warn(MapUndefined, entry.file, QString(),
                           QStringLiteral("Map entry %1 names undefined topic ID: '%2'")
                               .arg(entry.number)
                               .arg(entry.context));
            continue;
        }
        if (mapped.contains(entry.context.toUpper())) continue;
        mapped.insert(entry.context.toUpper());
        project_.map.emplace_back(entry.context, entry.number);
    }
}

// Checks each "level Title=context" line and follows :Include lines;
// `included` gets the files read, the contents file first.
bool Compiler::contentsLines(const QString& path, QStringList& included, int depth) {
    const std::optional<QByteArray> bytes = readBytes(path);
    const QString file = fileNameOf(path);
    if (!bytes) {
        messages_.warn(ContentsUnreadable, file, QString(),
                       QStringLiteral("Cannot read the contents file %1").arg(path));
        return false;
    }
    included << path;
    const QString folder = QFileInfo(path).absolutePath() + QLatin1Char('/');
    const QString text = Cp1252::decode(*bytes);
    for (QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        const QString line = raw.toString().trimmed();
        if (line.isEmpty()) continue;
        if (line.startsWith(QLatin1Char(':'))) {
            if (line.startsWith(QLatin1String(":Include"), Qt::CaseInsensitive) && depth < 8) {
                const QString name = slashed(line.mid(8));
                Finder finder(folder, {});
                const QString found = finder.find(name);
                if (found.isEmpty())
                    messages_.warn(ContentsUnreadable, file, QString(),
                                   QStringLiteral("Cannot read the included file '%1'").arg(name));
                else if (!included.contains(found))
                    contentsLines(found, included, depth + 1);
            }
            continue;
        }
        const qsizetype eq = line.lastIndexOf(QLatin1Char('='));
        if (eq < 0 || !line[0].isDigit()) continue; // a heading
        QString context = line.mid(eq + 1).trimmed();
        if (context.contains(QLatin1Char('@'))) continue; // another help file's topic
        context = context.section(QLatin1Char('>'), 0, 0).trimmed();
        if (!context.isEmpty() && !defined(context))
            messages_.warn(ContentsUndefined, file, QString(),
                           QStringLiteral("Contents entry '%1' names undefined topic ID: '%2'")
                               .arg(line.left(eq).section(QLatin1Char(' '), 1).trimmed(), context));
    }
    return true;
}

void Compiler::readContents() {
    QString cnt;
    if (!hpj.contents.isEmpty()) {
        Finder finder(dir_, {});
        cnt = finder.find(hpj.contents);
        if (cnt.isEmpty()) {
            messages_.warn(ContentsUnreadable, name_, QString(),
                           QStringLiteral("Cannot find the contents file %1")
                               .arg(finder.expected(hpj.contents)));
            return;
        }
    } else {
        // Our projects name none: the contents file is the one beside the
        // project with its name, which the viewer also looks for.
        cnt = dir_ + stem_ + QStringLiteral(".cnt");
        if (!QFileInfo::exists(cnt)) return;
    }
    QStringList included;
    if (!contentsLines(cnt, included, 0)) return;
    project_.contentsFile = fileNameOf(cnt);

    // The viewer looks for the contents beside the help file.
    const QString helpDir = QFileInfo(result_.helpFile).absolutePath();
    const QString cntDir = QFileInfo(cnt).absolutePath();
    if (QFileInfo(helpDir).canonicalFilePath() == QFileInfo(cntDir).canonicalFilePath()) return;
    for (const QString& path : included) {
        const QString relative = QDir(cntDir).relativeFilePath(path);
        const QString target = helpDir + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QSaveFile out(target);
        const std::optional<QByteArray> bytes = readBytes(path);
        if (!bytes || !out.open(QIODevice::WriteOnly) || out.write(*bytes) != bytes->size() ||
            !out.commit())
            messages_.warn(ContentsNotCopied, fileNameOf(path), QString(),
                           QStringLiteral("Cannot copy the contents file to %1").arg(target));
    }
}

QString counted(int n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

} // namespace

Hlp::Project ReadProject(const QString& projectFile, CompileResult& result) {
    Compiler compiler(projectFile, result);
    return compiler.read();
}

CompileResult Compile(const QString& projectFile,
                      const std::function<void(const QString&)>& print) {
    QElapsedTimer clock;
    clock.start();
    CompileResult result;
    const QString name = QFileInfo(projectFile).fileName();
    const auto say = [&](const QString& line) {
        result.log << line;
        if (print) print(line);
    };
    say(QStringLiteral("Compiling %1").arg(name));
    result.messages.onMessage = [&](const Message& m) { say(m.line()); };

    Hlp::Project project = ReadProject(projectFile, result);
    const QString helpName = fileNameOf(result.helpFile);
    if (result.messages.errors() == 0) {
        try {
            const QByteArray bytes = Hlp::WriteHelpFile(project);
            QSaveFile out(result.helpFile);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
                !out.commit())
                result.messages.error(OutputUnwritable, helpName, QString(),
                                      QStringLiteral("Cannot write the help file %1: %2")
                                          .arg(result.helpFile, out.errorString()));
            else
                result.bytes = bytes.size();
        } catch (const EKivError& e) {
            result.messages.error(HelpFileFailed, helpName, QString(),
                                  QStringLiteral("Cannot make the help file: %1").arg(e.message()));
        }
    }
    result.written = result.messages.errors() == 0;
    say(counted(result.topics, "Topic", "Topics") + QStringLiteral(", ") +
        counted(result.jumps, "Jump", "Jumps") + QStringLiteral(", ") +
        counted(result.keywords, "Keyword", "Keywords") + QStringLiteral(", ") +
        counted(result.bitmaps, "Bitmap", "Bitmaps"));
    if (result.written)
        say(QStringLiteral("Created %1, %2 bytes; %3")
                .arg(helpName)
                .arg(result.bytes)
                .arg(counted(result.messages.warnings(), "warning", "warnings")));
    else
        say(QStringLiteral("%1 not created: %2, %3")
                .arg(helpName, counted(result.messages.errors(), "error", "errors"),
                     counted(result.messages.warnings(), "warning", "warnings")));
    say(QStringLiteral("Compile time: %1 seconds")
            .arg(double(clock.nsecsElapsed()) / 1e9, 0, 'f', 3));

    if (!result.errorLog.isEmpty()) {
        QSaveFile log(result.errorLog);
        const QByteArray bytes = Cp1252::encode(result.log.join(QStringLiteral("\r\n"))) + "\r\n";
        if (!log.open(QIODevice::WriteOnly) || log.write(bytes) != bytes.size() || !log.commit())
            result.errorLogFailed = true; // the caller says so; the help file stands
    }
    result.messages.onMessage = nullptr;
    return result;
}

} // namespace Hc
