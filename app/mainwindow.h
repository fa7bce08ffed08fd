#pragma once
// The program's only main window. Its operations are split by concern:
//   mainwindow.cpp            construction, tray, help page, play/pause, list lock, ending
//   mainwindow_poleo.cpp      the one-second poll
//   mainwindow_controles.cpp  connection controls, paths, saved choices
//   mainwindow_lista.cpp      list format, column detection, template and preview
//   mainwindow_envio.cpp      adding a list to the outbox, manual send, compaction
//   mainwindow_corrida.cpp    a list run's journal and finishing a run cut short, data paths
//   mainwindow_historial.cpp  the history, queue and received-messages tabs
//   mainwindow_enduda.cpp     the records in doubt on the queue tab and the operator's choices
// The work itself is done by plain functions of lista/, envio/ and gateway/; the members take
// their inputs from the widgets and show the results.

#include "ajustes/ajustes.h"
#include "app/avisos.h"
#include "lista/diario_corrida.h"
#include "lista/largos_lista.h"
#include "lista/outbox.h"
#include "lista/revision_lista.h"
#include "lista/separar_linea.h"

#include <QDateTime>
#include <QDir>
#include <QMainWindow>
#include <QSignalBlocker>
#include <QStringList>
#include <QSystemTrayIcon>

class QAction;
class QLineEdit;
class QMenu;
class QThreadPool;
class QTimer;
class threads;
namespace archivos_datos {
class AnexadorErrores;
}
namespace lista {
enum class Lectura;
}

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    // Ends sending in order (terminarEnvio) if that has not been done yet.
    ~MainWindow() override;

    // Shows the window at start-up, or leaves only the tray icon when "start minimized" is on or
    // this run was asked to start minimized (minimized instead where there is no tray to come
    // back from).
    void mostrarAlArrancar(bool minimizado = false);
    // Stops the poll, tells the worker to leave, waits (with the event loop running) until its
    // loop has ended and no request is in flight, finishes a reply's pending mark or count and
    // deletes the worker with its connection. A message the gateway took is thereby marked "E"
    // before the program ends, whichever way it ends.
    void terminarEnvio();

    // Lifecycle.
    void on_pushActualizar_clicked();
    void habilitarControlesLista(bool habilitar);
    bool leerVerifPer() const;

    // List format, columns and template.
    QStringList separarLinea(const QString &linea) const;
    void detectarColumnasConHeader(const QString &ruta, bool mostrarErrores);
    void detectarColumnasSinHeader(const QString &ruta, bool mostrarErrores);
    int buscarColumna(const QString &referencia) const;
    QString valorCelular(const QStringList &campos) const;
    QString valorFecha(const QStringList &campos) const;
    QString transformarSms(const QString &plantilla, const QStringList &campos);
    QString verificarCampos() const;
    QStringList obtenerColumnas() const;

    // Outbox.
    bool agregarFilaOutbox(const QString &linea, bool escribir);
    void compactarOutbox();

    // Why `ruta` cannot be the data file edited in `campo` (errors, backup or received; null for
    // the list to import): the data file it already is. Empty when it can be.
    QString motivoRutaRechazada(const QString &ruta, const QLineEdit *campo) const;
    // Finishes a list run that a crash or a write failure cut short, if its journal is there.
    // Returns whether there was one. The operator is told what was done (a watched run only when
    // `avisar`).
    bool reanudarCorridaPendiente(bool avisar = false);

    Ui::MainWindow *formulario() const { return ui; }
    // The dispatch worker, with its counters and its gateway connection; null once sending has
    // ended. The window's one accessor for tests, which look at what the worker did.
    threads *trabajador() const { return worker; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    // The desktop session is ending: let the window close and leave through the orderly path.
    void terminarSesion();

public slots:
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void PoleoArchivo();

    void on_pushPlay_clicked();
    void on_pushPause_clicked();

    // Connection and sending controls.
    void on_IPGateway_textChanged(const QString &texto);
    void on_IPGateway_editingFinished();
    void on_NgwKey_textChanged(const QString &texto);
    void on_NgwKey_editingFinished();
    void on_pushActualizarConex_clicked();
    void on_open_set_horatio_envio_clicked();
    void on_pushDetenerEnvioSMS_clicked();
    void on_checkMinimizar_clicked();
    void on_checkIniciarConSesion_clicked();
    void on_ingresoLista_textChanged(const QString &texto);
    void on_comboCelular_currentTextChanged(const QString &texto);
    void on_comboFecha_currentTextChanged(const QString &texto);
    void on_BuscarCarpetaOuts_clicked();
    void on_BuscarCarpetaBackups_clicked();
    void on_BuscarInbox_clicked();

    // List format, columns, template and preview.
    void on_cfgLista_clicked();
    void on_BuscarArchivo_clicked();
    void on_pushAgregarCampo_clicked();
    void on_editFormatoSMS_textChanged();
    void on_SmsListaUp_clicked();
    void on_SmsListaDown_clicked();
    void on_TextoManual_textChanged();

    // Outbox.
    void on_pushAgregarListaToOutbox_clicked();
    void on_BotonEnviar_released();

    // History, queue and received messages (the filters apply a moment after the last key).
    void on_tabWidget_currentChanged(int indice);
    void aplicarFiltroHistorial();
    void aplicarFiltroBandeja();
    void aplicarFiltroRecibidos();
    void on_botonExportarHistorial_clicked();
    void on_botonExportarRecibidos_clicked();
    void on_botonCancelarBandeja_clicked();
    // Records in doubt: one more send, marked sent without a send, and going on once the operator
    // has looked after the file of the records in doubt was lost or damaged.
    void on_botonReenviarBandeja_clicked();
    void on_botonMarcarBandeja_clicked();
    void on_botonReanudarEnDuda_clicked();
    void on_checkSoloEnDuda_toggled(bool activo);

private:
    lista::FormatoLista formato;
    int filaVistaPrevia = 0;
    int truncados = 0;
    int faltaObligatorio = 0;
    threads *worker = nullptr;
    QString archivoSalidas;
    Ui::MainWindow *ui;
    QAction *restoreAction = nullptr;
    QAction *quitAction = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    QStringList columnasHeader;
    int cantidadColumnas = 0;
    QStringList columnasDefecto;
    QDir carpetaDatos;

    // Refills both column combos from the first line of the list at `ruta` (header names first
    // when the format says there is a header), without storing anything. False when the list
    // cannot be read or is empty, and nothing changed.
    bool detectarColumnas(const QString &ruta, bool mostrarErrores, bool conHeader);
    bool detectarSegunFormato(const QString &ruta, bool mostrarErrores);
    // After a list is chosen: a list read as one column whose first line holds another separator
    // gets the offer to switch the format; then the column choices that fit it are shown.
    void ofrecerSeparador(const QString &ruta);
    void elegirColumnasDeLista();
    // The template counter: the previewed message and the list's longest against the limit.
    lista::LargosLista largosLista;
    void mostrarVistaPrevia(const lista::PlantillaCompilada &plantilla, const QStringList &campos);

    void elegirRutaArchivo(const QString &titulo, QLineEdit *campo, ajustes::Clave clave);
    void crearBandeja();
    void cargarAjustes();
    // The session-start box and its key show the entry itself, which the user or the desktop may
    // remove or disable at any time.
    void mostrarAutoarranque();
    void aplicarMarcaVacio();
    void rotarIconosPestanas();
    bool ocultarEnBandeja();
    void vigilarLista();
    void escribirErrorConexion();
    // The state label, the busy bar, the tray's tooltip, and the notifications they call for.
    void mostrarSituacion();
    // A notification in the tray, or in the status bar where there is no tray; empty: none.
    void avisar(const QString &texto);

    // The history tabs (mainwindow_historial.cpp); their state lives in `vistas`.
    struct VistasHistorial;
    VistasHistorial *vistas = nullptr;
    void iniciarHistorial();
    void poleoHistorial();
    // Rows the worker reported just before it ended are written before the file closes.
    void volcarHistorial();
    void liberarHistorial();
    void refrescarPestanaActual();
    void refrescarHistorial();
    void refrescarBandeja();
    void refrescarRecibidos();
    void actualizarTituloRecibidos();
    void exportarTabla(bool recibidos);
    // The notice of the records in doubt above the queue (mainwindow_enduda.cpp).
    void mostrarEnDuda();
    // The selected rows of the queue that are in doubt, taken as records.
    QVector<outbox::Referencia> elegidosEnDuda() const;
    QString rutaHistorial() const;
    // Changes a widget the way the program does, not the operator: its change handlers, which
    // would store the value, do not run.
    template <typename Cambio> static void sinGuardar(QObject *widget, Cambio &&cambio);

    QTimer *temporizador = nullptr;
    QThreadPool *poolEnvio = nullptr;
    bool terminandoSesion = false;

    // A watched list is imported only once it has stopped changing between two ticks.
    qint64 tamanoListaVista = -1;
    QDateTime fechaListaVista;
    // Message boxes keep the event loop (and so the poll) running: no second run or box on top.
    bool corridaEnCurso = false;
    bool cajaErroresAbierta = false;

    // The journal of a run cut short is looked for once, at the first tick.
    bool corridaRevisada = false;
    // An errors path that is another data file is told once.
    QString rutaErroresRechazada;
    avisos::Seguimiento seguimientoAvisos;
    // Retries fail alike: the same error is written once until the connection works again.
    QString ultimoErrorConexion;

    // A list run. A row that cannot be written ends the writing pass; the failure is told once.
    struct EstadoCorrida
    {
        bool escrituraFallo = false;
        QString textoFallo;
        // Everything a row needs is taken once per run and kept in the journal: the list is in
        // memory by then, and asking the widgets and the system on every row would slow long runs.
        bool listaLeida = false;
        diario_corrida::Diario diario;
        // Set while the writing pass runs.
        archivos_datos::AnexadorErrores *anexadorErrores = nullptr;
        // Rows the run sent to the errors file.
        int aErrores = 0;
    };
    EstadoCorrida corrida;
    void corridaVigilada();
    void corridaArmado();
    void corridaSimple();
    bool guardarPlantillaYComprobarLista(const QString &plantilla);
    bool rutasDeCorridaValidas(corrida_lista::Modo modo);
    bool rechazarLista(lista::Lectura lectura, const QString &ruta);
    bool validarColumnas();
    bool preguntarYContar(const QStringList &lineas);
    int pasadaEscritura(const QStringList &lineas, int hechas);
    lista::EntradasFila entradasFila() const;
    lista::BuscadorColumna buscadorColumnas() const;
    bool escribirFila(const QString &linea, const lista::ResultadoFila &resultado);
    bool anotarError(const QString &linea);
    void detenerEscritura(const QString &causa);
    void recontar(bool compactar = true);
    void apartarListaProcesada(const QString &rutaLista);
    void detenerVigilancia();
    void error(const QString &texto);
    void avisarAlTerminar();
    void empezarPasadas(corrida_lista::Modo modo, const QStringList &lineas);
    bool listaPresente() const;
    QString fechaHoy() const;

    QString rutaDiario() const;
    bool abrirDiario();
    void completarCorrida(bool avisar);
    void cerrarCorrida(int agregados, const QString &reporte);
    void terminarCorridaEscrita();
};

template <typename Cambio> void MainWindow::sinGuardar(QObject *widget, Cambio &&cambio)
{
    const QSignalBlocker bloqueo(widget);
    cambio();
}
