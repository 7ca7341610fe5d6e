// The sort-condition dialog's footer: Help on the left, OK and Cancel on the right.
object FormCsvSortFieldEdit: TForm
  Caption = '並べ替え条件の設定'
  BorderStyle = bsDialog
  ClientWidth = 367
  ClientHeight = 120
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  object WlFooter1: TWlFooter
    Left = 0
    Top = 83
    Width = 367
    Height = 37
    Align = alBottom
    TabOrder = 0
    object BtnHelp: TWlFooterBtn
      Width = 74
      Height = 23
      Alignment = taLeftJustify
      ButtonIndex = 0
      SpaceInterval = 6
      Kind = bkHelp
      HelpContext = 28
      TabOrder = 0
    end
    object BtnOk: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 1
      SpaceInterval = 6
      Kind = bkOK
      TabOrder = 1
    end
    object BtnCancel: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 2
      SpaceInterval = 6
      Kind = bkCancel
      TabOrder = 2
    end
  end
end
