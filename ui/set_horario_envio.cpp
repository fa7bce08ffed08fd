#include "ui/set_horario_envio.h"

#include "ajustes/ajustes.h"
#include "ui_set_horario_envio.h"

#include <QCheckBox>
#include <QRegularExpression>

set_horario_envio::set_horario_envio(QWidget *parent) : QDialog(parent), m_ui(new Ui::set_horario_envio)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);

    const int mascara = ajustes::leerEntero(ajustes::Clave::CheckHorarios);
    const QList<QCheckBox *> casillas = casillasHorario();
    for (int i = 0; i < casillas.size(); ++i)
        casillas.at(i)->setChecked((static_cast<quint32>(mascara) & (1u << i)) != 0);
}

set_horario_envio::~set_horario_envio()
{
    delete m_ui;
}

QList<QCheckBox *> set_horario_envio::casillasHorario() const
{
    // Direct children come in creation order, which the form makes the hour order.
    return m_ui->groupHorarioEnvio->findChildren<QCheckBox *>(QRegularExpression(QStringLiteral("horario_")),
                                                              Qt::FindDirectChildrenOnly);
}

void set_horario_envio::on_buttonBox_accepted()
{
    const QList<QCheckBox *> casillas = casillasHorario();
    quint32 mascara = 0;
    for (int i = 0; i < casillas.size(); ++i) {
        if (casillas.at(i)->isChecked())
            mascara |= 1u << i;
    }
    ajustes::escribir(ajustes::Clave::CheckHorarios, static_cast<int>(mascara));
}
