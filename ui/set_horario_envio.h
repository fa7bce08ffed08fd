#pragma once
// The sending schedule dialog: 24 check boxes, one per hour, loaded from and saved to the mask
// int_check_horarios (bit i allows hour i). Shown without a modal loop; it deletes itself once
// closed, since every opening builds a new one and nobody keeps a pointer to it.

#include <QDialog>
#include <QList>

class QCheckBox;

namespace Ui {
class set_horario_envio;
}

class set_horario_envio : public QDialog
{
    Q_OBJECT

public:
    explicit set_horario_envio(QWidget *parent = nullptr);
    ~set_horario_envio() override;

    // The hour boxes in hour order: horario_00 first, horario_23 last.
    QList<QCheckBox *> casillasHorario() const;

private slots:
    void on_buttonBox_accepted();

private:
    Ui::set_horario_envio *m_ui;
};
