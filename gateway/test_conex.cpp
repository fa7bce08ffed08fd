#include "gateway/test_conex.h"
#include "ajustes/registro.h"

#include "gateway/conexion_ngw.h"
#include "ui_test_conex.h"

#include <QDebug>
#include <QTimer>

test_conex::test_conex(QWidget *parent) : QDialog(parent), m_ui(new Ui::test_conex)
{
    m_ui->setupUi(this);
    // A close button even while Ok waits for the answer: the dialog can always be left.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

test_conex::~test_conex()
{
    delete m_ui;
}

void test_conex::iniciar(const conexion_ngw *conexion)
{
    iniciar([conexion] {
        return Vista{conexion->getEstado(), conexion->isOcupado(), conexion->ip(), conexion->clave()};
    });
}

void test_conex::iniciar(Lectura lectura)
{
    m_lectura = std::move(lectura);
    const int estado = m_lectura().estado;
    switch (estado) {
    case EST_CONEX_UNKNOW:
        m_ui->label->setText(tr("Esperando respuesta..."));
        m_ui->pushOk->setEnabled(false);
        break;
    case EST_CONEX_LIBRE:
        m_ui->label->setText(tr("Conexion establecida."));
        m_ui->pushOk->setEnabled(true);
        break;
    case EST_CONEX_ERROR:
        m_ui->label->setText(tr("Conexion no establecida."));
        m_ui->pushOk->setEnabled(true);
        break;
    default:
        qCDebug(catGateway) << "estado= " << estado;
        break;
    }
}

void test_conex::arrancarPoleo()
{
    if (!m_timerConexion) {
        m_timerConexion = new QTimer(this);
        connect(m_timerConexion, &QTimer::timeout, this, &test_conex::PoleoConexion);
    }
    m_timerConexion->start(kIntervaloMs);
}

int test_conex::ejecutar()
{
    arrancarPoleo();
    return exec();
}

void test_conex::on_pushOk_clicked()
{
    close();
}

void test_conex::PoleoConexion()
{
    if (!m_lectura)
        return;
    const Vista vista = m_lectura();
    const int estado = vista.estado;
    const QChar comilla(QLatin1Char('"'));
    switch (estado) {
    case EST_CONEX_UNKNOW:
        if (vista.ocupado)
            return;
        // The check ended without an answer the program knows: another device at that address.
        m_ui->label->setText(tr("Conexión no establecida, respuesta no reconocida.\n") +
                             tr("Verificar direccion ") + comilla + vista.ip + comilla);
        break;
    case EST_CONEX_LIBRE:
        m_ui->label->setText(tr("Conexion establecida."));
        break;
    case EST_CONEX_NO_ENVIA_SMS:
        m_ui->label->setText(
            tr("Conexion establecida, pero el NB no tiene modulos GSM habilitados para envio de SMS.\n") +
            tr("Verifique configuracion del NB"));
        m_ui->pushOk->setEnabled(true);
        // No definite answer yet: keep watching while the dialog is open.
        return;
    case EST_CONEX_ERROR:
        m_ui->label->setText(tr("Conexion no establecida, no se detecto Nimbrel.\n") +
                             tr("Verificar direccion ") + comilla + vista.ip + comilla);
        break;
    case EST_CONEX_CLAVE_INCORRECTA:
        m_ui->label->setText(tr("Conexion no establecida, clave incorrecta.\n") + tr("Verificar clave ") +
                             comilla + vista.clave + comilla);
        break;
    default:
        qCDebug(catGateway) << "estado= " << estado;
        return;
    }
    m_ui->pushOk->setEnabled(true);
    if (m_timerConexion)
        m_timerConexion->stop();
}
