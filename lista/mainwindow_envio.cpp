#include "app/mainwindow.h"

#include "app/ajustes.h"
#include "app/dialogos.h"
#include "lista/outbox.h"
#include "ui_mainwindow.h"

// Adding a list to the outbox, manual send and compaction: not built yet.

bool MainWindow::agregarFilaOutbox(const QString &, bool)
{
    return false;
}

// Keeps only the pending records. The outbox is replaced atomically through a temporary of its
// own beside it; a stale "compactando.csv" in the data folder is removed on the way.
void MainWindow::compactarOutbox()
{
    const QString temporal =
        carpetaDatos.absolutePath() + QLatin1Char('/') + QLatin1String(ajustes::kArchivoCompactando);
    switch (outbox::compactar(archivoSalidas, temporal)) {
    case outbox::ResultadoCompactacion::NoAbreSalidas:
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir salidas"));
        break;
    case outbox::ResultadoCompactacion::NoAbreTemporal:
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir temporal para compactar"));
        break;
    case outbox::ResultadoCompactacion::Hecha:
    case outbox::ResultadoCompactacion::FalloEscritura:
        // A failed replace leaves the outbox as it was, as a failed rename always did: not reported.
        break;
    }
}

void MainWindow::on_pushAgregarListaToOutbox_clicked() {}
void MainWindow::on_BotonEnviar_released() {}
