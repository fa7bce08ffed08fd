// Helper of the crash test: compacts the outbox given on the command line over and over,
// saying "listo" before the first compaction and "compactado" after each one, until killed.

#include "lista/outbox.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "uso: %s salidas.csv compactando.csv\n", argv[0]);
        return 2;
    }
    std::printf("listo\n");
    std::fflush(stdout);
    for (;;) {
        if (outbox::compactar(args.at(1), args.at(2)) != outbox::ResultadoCompactacion::Hecha)
            return 1;
        std::printf("compactado\n");
        std::fflush(stdout);
    }
}
