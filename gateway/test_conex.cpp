#include "gateway/test_conex.h"
#include "ajustes/registro.h"

#include "gateway/conexion_ngw.h"
#include "ui_test_conex.h"

#include <QDebug>
#include <QTimer>

test_conex::test_conex(QWidget *parent) : QDialog(parent), ui(new Ui::test_conex)
{
    ui->setupUi(this);
    // A close button even while Ok waits for the answer: the dialog can always be left.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

test_conex::~test_conex()
{
    delete ui;
}

void test_conex::iniciar(conexion_ngw *conexionVigilada)
{
    conexion = conexionVigilada;
    const int estado = conexion->getEstado();
    switch (estado) {
    case EST_CONEX_UNKNOW:
        ui->label->setText(tr("Esperando respuesta..."));
        ui->pushOk->setEnabled(false);
        break;
    case EST_CONEX_LIBRE:
        ui->label->setText(tr("Conexion establecida."));
        ui->pushOk->setEnabled(true);
        break;
    case EST_CONEX_ERROR:
        ui->label->setText(tr("Conexion no establecida."));
        ui->pushOk->setEnabled(true);
        break;
    default:
        qCDebug(catGateway) << "estado= " << estado;
        break;
    }
}

void test_conex::arrancarPoleo()
{
    if (!timerConexion) {
        timerConexion = new QTimer(this);
        connect(timerConexion, &QTimer::timeout, this, &test_conex::PoleoConexion);
    }
    timerConexion->start(kIntervaloMs);
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
    if (!conexion)
        return;
    const int estado = conexion->getEstado();
    const QChar comilla(QLatin1Char('"'));
    switch (estado) {
    case EST_CONEX_UNKNOW:
        if (conexion->isOcupado())
            return;
        // The check ended without an answer the program knows: another device at that address.
        ui->label->setText(tr("Conexion no establecida, respuesta no reconocida.\n") +
                           tr("Verificar direccion ") + comilla + conexion->ip() + comilla);
        break;
    case EST_CONEX_LIBRE:
        ui->label->setText(tr("Conexion establecida."));
        break;
    case EST_CONEX_NO_ENVIA_SMS:
        ui->label->setText(
            tr("Conexion establecida, pero el NB no tiene modulos GSM habilitados para envio de SMS.\n") +
            tr("Verifique configuracion del NB"));
        ui->pushOk->setEnabled(true);
        // No definite answer yet: keep watching while the dialog is open.
        return;
    case EST_CONEX_ERROR:
        ui->label->setText(tr("Conexion no establecida, no se detecto Nimbrel.\n") +
                           tr("Verificar direccion ") + comilla + conexion->ip() + comilla);
        break;
    case EST_CONEX_CLAVE_INCORRECTA:
        ui->label->setText(tr("Conexion no establecida, clave incorrecta.\n") + tr("Verificar clave ") +
                           comilla + conexion->clave() + comilla);
        break;
    default:
        qCDebug(catGateway) << "estado= " << estado;
        return;
    }
    ui->pushOk->setEnabled(true);
    if (timerConexion)
        timerConexion->stop();
}
