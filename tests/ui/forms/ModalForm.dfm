// A dialog with an edit box, a Default OK button and a Cancel button.
object ModalForm: TForm
  Caption = 'Modal'
  BorderStyle = bsDialog
  Position = poScreenCenter
  ClientWidth = 300
  ClientHeight = 100
  object Edit1: TEdit
    Left = 8
    Top = 8
    Width = 280
    TabOrder = 0
  end
  object ButtonOk: TButton
    Left = 128
    Top = 64
    Caption = 'OK'
    Default = True
    ModalResult = mrOk
    TabOrder = 1
  end
  object ButtonCancel: TButton
    Left = 212
    Top = 64
    Caption = 'Cancel'
    Cancel = True
    ModalResult = 2
    TabOrder = 2
  end
end
