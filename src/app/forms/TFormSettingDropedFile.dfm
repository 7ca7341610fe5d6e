object FormSettingDropedFile: TFormSettingDropedFile
  Caption = 'CSVファイルの読み込み設定'
  BorderStyle = bsDialog
  Position = poOwnerFormCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  ClientWidth = 400
  ClientHeight = 130
  object StaticTextFileName: TStaticText
    Left = 12
    Top = 12
    Width = 376
    Height = 20
    AutoSize = False
    Layout = tlCenter
    BorderStyle = sbsSunken
    ShowAccelChar = False
  end
  object RadioButtonLeft: TRadioButton
    Left = 24
    Top = 44
    Width = 300
    Height = 18
    Caption = '左CSVファイルに設定する(&L)'
    Checked = True
    TabOrder = 0
  end
  object RadioButtonRight: TRadioButton
    Left = 24
    Top = 68
    Width = 300
    Height = 18
    Caption = '右CSVファイルに設定する(&R)'
    TabOrder = 1
  end
  object BtnOk: TButton
    Left = 228
    Top = 98
    Width = 75
    Height = 23
    Caption = 'OK'
    Default = True
    ModalResult = mrOk
    TabOrder = 2
  end
  object BtnCancel: TButton
    Left = 313
    Top = 98
    Width = 75
    Height = 23
    Caption = 'キャンセル'
    Cancel = True
    ModalResult = mrCancel
    TabOrder = 3
  end
end
