#include "app/pestana_bajas.h"
#include "ajustes/registro.h"
#include "app/pestanas_historial.h"

#include "ajustes/ajustes.h"
#include "historial/base_historial.h"
#include "historial/consultas.h"
#include "historial/exportar_csv.h"
#include "lista/archivos_datos.h"
#include "servicio/servicio_envio.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QHeaderView>
#include <QMainWindow>
#include <QStatusBar>

namespace {

constexpr int kDemoraFiltroMs = 300;

} // namespace

PestanaBajas::PestanaBajas(Ui::MainWindow *ui, servicio::ServicioEnvio &servicio, QMainWindow *ventana)
    : QObject(nullptr), m_ui(ui), m_servicio(servicio), m_ventana(ventana)
{
    QTableView *tabla = m_ui->tablaBajas;
    tabla->setModel(&m_modelo);
    tabla->verticalHeader()->setVisible(false);
    tabla->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tabla->verticalHeader()->setDefaultSectionSize(tabla->fontMetrics().height() + 6);
    tabla->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tabla->horizontalHeader()->setStretchLastSection(true);
    tabla->setColumnWidth(0, tabla->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00 ")));

    m_demora.setSingleShot(true);
    m_demora.setInterval(kDemoraFiltroMs);
    connect(&m_demora, &QTimer::timeout, this, [this] {
        m_sucio = true;
        refrescar();
    });
    connect(m_ui->filtroBajas, &QLineEdit::textChanged, &m_demora, qOverload<>(&QTimer::start));
    connect(m_ui->ingresoNumeroBaja, &QLineEdit::returnPressed, this, &PestanaBajas::agregar);
    connect(m_ui->botonAgregarBaja, &QPushButton::clicked, this, &PestanaBajas::agregar);
    connect(m_ui->botonQuitarBaja, &QPushButton::clicked, this, &PestanaBajas::quitar);
    connect(m_ui->botonImportarBajas, &QPushButton::clicked, this, &PestanaBajas::importar);
    connect(m_ui->botonExportarBajas, &QPushButton::clicked, this, &PestanaBajas::exportar);
    connect(&m_servicio.historial(), &historial::Historial::bajasCambiadas, this, [this] { m_sucio = true; });

    // The configuration tab's fields, stored as they change.
    m_ui->ingresoPalabrasBaja->setText(ajustes::leerTexto(ajustes::Clave::PalabrasBaja));
    m_ui->checkConfirmarBaja->setChecked(ajustes::leerBool(ajustes::Clave::ConfirmarBaja));
    m_ui->ingresoTextoBaja->setText(ajustes::leerTexto(ajustes::Clave::TextoBaja));
    // Their beginning shows, not their end.
    m_ui->ingresoPalabrasBaja->setCursorPosition(0);
    m_ui->ingresoTextoBaja->setCursorPosition(0);
    connect(m_ui->ingresoPalabrasBaja, &QLineEdit::textChanged, this,
            [](const QString &texto) { ajustes::escribir(ajustes::Clave::PalabrasBaja, texto); });
    connect(m_ui->checkConfirmarBaja, &QCheckBox::toggled, this,
            [](bool activo) { ajustes::escribir(ajustes::Clave::ConfirmarBaja, activo); });
    connect(m_ui->ingresoTextoBaja, &QLineEdit::textChanged, this,
            [](const QString &texto) { ajustes::escribir(ajustes::Clave::TextoBaja, texto); });
}

PestanaBajas::~PestanaBajas()
{
    m_ui->tablaBajas->setModel(nullptr);
}

void PestanaBajas::refrescar()
{
    if (m_ui->tabWidget->currentWidget() != m_ui->tabBajas)
        return;
    const int cantidad = m_servicio.cantidadBajas();
    if (m_sucio || cantidad != m_cantidadVista)
        mostrar();
}

void PestanaBajas::mostrar()
{
    m_sucio = false;
    m_cantidadVista = m_servicio.cantidadBajas();
    const QSqlDatabase db = m_servicio.historial().base();
    const historial::Condicion c =
        historial::condicionBajas(m_ui->filtroBajas->text(), m_servicio.digitosNumero());
    const qint64 vistas = db.isValid() ? historial::contar(db, historial::tablaBajas().nombre, c) : 0;
    m_modelo.mostrar(db, c);
    QString texto = tr("%n número(s) en la lista de bajas", nullptr, m_cantidadVista);
    if (!m_ui->filtroBajas->text().trimmed().isEmpty())
        texto += tr("; %1 coinciden con el filtro").arg(qMax<qint64>(vistas, 0));
    if (!db.isValid())
        texto += QStringLiteral(" — ") + m_servicio.historial().textoEstado();
    m_ui->labelCuentaBajas->setText(texto);
}

void PestanaBajas::agregar()
{
    const QString numero = m_ui->ingresoNumeroBaja->text().trimmed();
    if (numero.isEmpty()) {
        error(tr("Escriba el número que quiere dar de baja."));
        return;
    }
    switch (m_servicio.agregarBaja(numero)) {
    case servicio::AltaBaja::NoEsNumero:
        error(tr("«%1» no es un número de teléfono.").arg(numero));
        return;
    case servicio::AltaBaja::YaEstaba:
        m_ventana->statusBar()->showMessage(tr("%1 ya estaba en la lista de bajas.").arg(numero), 10000);
        break;
    case servicio::AltaBaja::Agregada:
        m_ventana->statusBar()->showMessage(
            tr("%1 dado de baja: no se le enviarán más mensajes; los pendientes se cancelan.").arg(numero),
            10000);
        break;
    }
    m_ui->ingresoNumeroBaja->clear();
    mostrar();
}

void PestanaBajas::quitar()
{
    const QModelIndexList filas = m_ui->tablaBajas->selectionModel()->selectedRows(1);
    if (filas.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"),
                               tr("Seleccione el número que quiere quitar de la lista de bajas."));
        return;
    }
    const QString numero = filas.first().data().toString();
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Quitar %1 de la lista de bajas? Se le volverán a enviar mensajes, también "
               "los de las listas que se agreguen desde ahora.")
                .arg(numero),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const int quitadas = m_servicio.quitarBaja(numero);
    m_ventana->statusBar()->showMessage(tr("%1 quitado de la lista de bajas.").arg(numero), 10000);
    qCDebug(catApp) << "bajas quitadas" << quitadas;
    mostrar();
}

void PestanaBajas::importar()
{
    const QString ruta =
        DialogoArchivo::abrir(m_ventana, tr("Importar bajas"), m_servicio.carpetaDatos().absolutePath(),
                              tr("Listas (*.csv *.txt);;Todos los archivos (*)"));
    if (ruta.isEmpty())
        return;
    const servicio::ImportacionBajas r = m_servicio.importarBajas(ruta);
    if (!r.error.isEmpty()) {
        error(r.error);
        return;
    }
    QString texto = tr("Se agregaron %n número(s) a la lista de bajas.", nullptr, r.agregadas);
    if (r.yaEstaban > 0)
        texto += QLatin1Char('\n') + tr("%n ya estaba(n) en la lista.", nullptr, r.yaEstaban);
    if (r.ignoradas > 0)
        texto += QLatin1Char('\n') + tr("%n línea(s) sin número válido no se tomaron.", nullptr, r.ignoradas);
    CuadroMensaje::mostrar(tr("Importar bajas"), texto);
    mostrar();
}

void PestanaBajas::exportar()
{
    const QString ruta = elegirRutaExportacion(m_ventana, m_servicio, m_ui->ingresoLista->text(),
                                               [this](const QString &texto) { error(texto); });
    if (ruta.isEmpty())
        return;
    const QSqlDatabase db = m_servicio.historial().base();
    if (m_demora.isActive() || m_sucio)
        mostrar();
    m_demora.stop();
    const QString separadorTexto = m_ui->separadorBajas->currentText();
    const QChar separador = separadorTexto.isEmpty() ? QLatin1Char(';') : separadorTexto.at(0);
    QString fallo;
    qint64 filas = 0;
    if (!historial::exportar(db, historial::tablaBajas(), m_modelo.condicionActual(), separador, ruta, fallo,
                             &filas)) {
        error(tr("No se pudo exportar a %1: %2").arg(ruta, fallo));
        return;
    }
    m_ventana->statusBar()->showMessage(tr("%n fila(s) exportada(s) a %1", nullptr, int(filas)).arg(ruta),
                                        10000);
}

void PestanaBajas::error(const QString &texto)
{
    CuadroMensaje::mostrar(tr("Error!"), texto);
}
