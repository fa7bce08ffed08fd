#pragma once
// The program's only main window. It builds the sending service (servicio/servicio_envio.h),
// shows what the service reports and forwards the operator's commands to it; the questions and
// boxes are the window's, the work is the service's. Split by concern:
//   mainwindow.cpp            construction, tray, help page, play/pause, ending
//   mainwindow_poleo.cpp      the one-second poll, the watched list, the state label and notices
//   mainwindow_controles.cpp  connection controls (the gateways: PaginaGateways, pagina_gateways.h),
//                             paths, saved choices
//   mainwindow_lista.cpp      the list page's operations, forwarded to PaginaLista (pagina_lista.h)
//   mainwindow_envio.cpp      adding a list to the outbox (the run's questions), manual send
// The history, queue and received-messages tabs are PestanasHistorial's (pestanas_historial.h);
// the opt-out list's tab is PestanaBajas's (pestana_bajas.h).

#include "ajustes/ajustes.h"
#include "app/avisos.h"
#include "lista/outbox.h"
#include "lista/separar_linea.h"
#include "servicio/servicio_envio.h"

#include <QDateTime>
#include <QDir>
#include <QMainWindow>
#include <QStringList>
#include <QSystemTrayIcon>

#include <memory>

class PaginaGateways;
class PaginaLista;
class PestanaBajas;
class PestanasHistorial;
class QAction;
class QLineEdit;
class QMenu;
class QLabel;
class QPushButton;
class QTimer;

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
    Q_DISABLE_COPY(MainWindow)

    // Shows the window at start-up, or leaves only the tray icon when "start minimized" is on or
    // this run was asked to start minimized (minimized instead where there is no tray to come
    // back from).
    void mostrarAlArrancar(bool minimizado = false);
    // Stops the poll and ends the service in order (ServicioEnvio::terminar): a message the
    // gateway took is marked "E" before the program ends, whichever way it ends.
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

    // The row as the window's entries make it: counted (truncated, missing a mandatory field),
    // never written: a list goes to the outbox through the service's run.
    bool agregarFilaOutbox(const QString &linea, bool escribir);
    // Keeps only the pending records of the outbox; a failure is told.
    void compactarOutbox();

    // Why `ruta` cannot be the data file edited in `campo` (errors, backup or received; null for
    // the list to import): the data file it already is. Empty when it can be.
    QString motivoRutaRechazada(const QString &ruta, const QLineEdit *campo) const;
    // Finishes a list run that a crash or a write failure cut short, if its journal is there.
    // Returns whether there was one. The operator is told what was done (a watched run only when
    // `avisar`).
    bool reanudarCorridaPendiente(bool avisar = false);

    Ui::MainWindow *formulario() const { return m_ui; }
    // The sending service; the window's one accessor for tests, which look at what it did.
    servicio::ServicioEnvio *servicio() const { return m_servicio.get(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    // The desktop session is ending: let the window close and leave through the orderly path.
    void terminarSesion();

public slots:
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    // "Salir": asks first when sending is on and records are due now (the service counts them).
    void salir();
    // The gateway is asked again at once, without waiting for the next retry.
    void reintentarAhora();
    // The button beside the state line: the retry, or the way to the gateway's address.
    void reintentarOConfigurar();
    void PoleoArchivo();

    void on_pushPlay_clicked();
    void on_pushPause_clicked();

    // Connection and sending controls.
    void on_IPGateway_textChanged(const QString &texto);
    void on_IPGateway_editingFinished();
    void on_NgwKey_textChanged(const QString &texto);
    void on_NgwKey_editingFinished();
    // "Guardar": the gateways are checked, stored and given to the service, and gateway 1 is asked;
    // "Probar conexión" does the same and asks the gateway chosen in the table.
    void on_pushActualizarConex_clicked();
    void probarGateway();
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
    void on_botonConversacion_clicked();
    void on_botonResponder_clicked();
    void on_botonCancelarBandeja_clicked();
    // Records in doubt: one more send, marked sent without a send, and going on once the operator
    // has looked after the file of the records in doubt was lost or damaged.
    void on_botonReenviarBandeja_clicked();
    void on_botonMarcarBandeja_clicked();
    void on_botonReanudarEnDuda_clicked();
    void on_checkSoloEnDuda_toggled(bool activo);

private:
    void guardarGateways(int numero);
    void elegirRutaArchivo(const QString &titulo, QLineEdit *campo, ajustes::Clave clave);
    // The three paths the operator chose reach the service as they change.
    void darRutasAlServicio();
    void crearBandeja();
    // TAB, Ctrl+Enter, Delete and the buttons' Alt letters.
    void prepararTeclado();
    // The window's size and place and the tables' column widths, kept for the next start.
    void guardarVista();
    void restaurarVista();
    // The tray icon with a warning badge while sending stands still by a failure.
    void mostrarIconoBandeja(bool alerta);
    void cargarAjustes();
    // The session-start box and its key show the entry itself, which the user or the desktop may
    // remove or disable at any time.
    void mostrarAutoarranque();
    void aplicarMarcaVacio();
    void rotarIconosPestanas();
    bool ocultarEnBandeja();
    void vigilarLista();
    void escribirLineas();
    // The state label, the busy bar, the tray's tooltip, and the notifications they call for.
    void mostrarSituacion(const servicio::Instantanea &instantanea);
    // A notification in the tray, or in the status bar where there is no tray; empty: none.
    void avisar(const QString &texto);
    void error(const QString &texto);

    // A list run: the mode's questions around the service's steps, and what it ended with.
    void correrLista(corrida_lista::Modo modo);
    bool preguntarYContar();
    void mostrarResultado(const servicio::ResultadoCorrida &resultado);
    servicio::PedidoCorrida pedidoCorrida(corrida_lista::Modo modo) const;
    void detenerVigilancia();

    Ui::MainWindow *m_ui;
    std::unique_ptr<servicio::ServicioEnvio> m_servicio;
    // The history, queue and received-messages tabs.
    std::unique_ptr<PestanasHistorial> m_pestanas;
    // The opt-out list's tab and fields.
    std::unique_ptr<PestanaBajas> m_bajas;
    // The list page: format, columns, template and preview.
    std::unique_ptr<PaginaLista> m_lista;
    // The gateways' fields on the configuration tab and their lines on the status tab.
    std::unique_ptr<PaginaGateways> m_gateways;
    QAction *m_restoreAction = nullptr;
    QAction *m_quitAction = nullptr;
    QAction *m_reintentarAction = nullptr;
    QPushButton *m_botonReintentar = nullptr;
    // Why the gateway failed, under the state line while sending stands still by it.
    QLabel *m_motivoFalla = nullptr;
    // Whether the tray icon shows its warning badge now.
    bool m_iconoAlerta = false;
    QSystemTrayIcon *m_trayIcon = nullptr;
    QMenu *m_trayMenu = nullptr;
    QDir m_carpetaDatos;
    QTimer *m_temporizador = nullptr;
    bool m_terminandoSesion = false;

    // A watched list is imported only once it has stopped changing between two ticks.
    qint64 m_tamanoListaVista = -1;
    QDateTime m_fechaListaVista;
    // Message boxes keep the event loop (and so the poll) running: no second run or box on top.
    bool m_corridaEnCurso = false;
    bool m_cajaErroresAbierta = false;
    // The journal of a run cut short is looked for once, at the first tick.
    bool m_corridaRevisada = false;
    avisos::Seguimiento m_seguimientoAvisos;
};
