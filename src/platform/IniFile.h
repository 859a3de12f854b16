// INI file access: read and write a string, list the key names of a section.
//
// Sections and keys match case-insensitively. The file's own order of sections
// and keys is kept, and every line that is not understood (comments, garbage)
// is kept as it was when the file is written back. Files are Windows-1252 and
// written with CR LF line ends through a temporary file and a rename.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class IniFile {
public:
    // Reads the file. A missing or unreadable file reads as empty; an unreadable
    // one is never overwritten (writeString then fails instead).
    explicit IniFile(const QString& path);
    // An INI text that belongs to no file (for parsing only).
    static IniFile fromBytes(const QByteArray& bytes);

    const QString& fileName() const { return path_; }

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = QString()) const;
    // The key names of the section, in file order, each once; empty when the
    // section does not exist.
    QStringList readSection(const QString& section) const;
    QStringList sections() const;
    bool sectionExists(const QString& section) const;

    // Sets the value and writes the file at once; EInOutError when the file
    // cannot be written (the file on disk is then unchanged).
    void writeString(const QString& section, const QString& key, const QString& value);

    // The whole file as it would be written.
    QByteArray toBytes() const;

private:
    struct Line {
        QString text; // the line as read or written
        QString key;  // empty for anything that is not a key line
        QString value;
    };
    struct Section {
        QString name; // empty for the lines before the first section header
        std::vector<Line> lines;
    };

    IniFile() = default;
    void parse(const QByteArray& bytes);
    const Section* findSection(const QString& name) const;
    Section* findSection(const QString& name);
    static const Line* findKey(const Section& section, const QString& key);

    QString path_;
    bool unreadable_ = false;
    std::vector<Section> sections_;
};
