// Replays every file of a corpus folder through the fuzz entry point, so the
// corpus runs as an ordinary test on machines without libFuzzer.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 1;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    const auto files = dir.entryInfoList(QDir::Files, QDir::Name);
    int n = 0;
    for (const auto& fi : files) {
        QFile f(fi.filePath());
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = f.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
        ++n;
    }
    std::printf("%d passed, 0 failed\n", n);
    return n > 0 ? 0 : 1;
}
