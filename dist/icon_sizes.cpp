// Scales the program's icon to the sizes of the desktop's icon theme:
// icon_sizes SOURCE.png OUTPUT_DIR SIZE...
// writes OUTPUT_DIR/NxN/apps/velmora.png for every size N.
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
	if (argc < 4) {
		std::fprintf(stderr, "usage: %s SOURCE.png OUTPUT_DIR SIZE...\n", argv[0]);
		return 2;
	}
	QImage source(QString::fromLocal8Bit(argv[1]));
	if (source.isNull()) {
		std::fprintf(stderr, "cannot read %s\n", argv[1]);
		return 1;
	}
	for (int i = 3; i < argc; ++i) {
		int size = std::atoi(argv[i]);
		if (size <= 0) {
			std::fprintf(stderr, "bad size %s\n", argv[i]);
			return 2;
		}
		QString dir = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
		QString file = dir + QStringLiteral("/velmora.png");
		QImage scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
		if (!QDir().mkpath(dir) || !scaled.save(file, "PNG")) {
			std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
			return 1;
		}
	}
	return 0;
}
