// The sort-column dialog's footer: OK and Cancel on the right.
object FormCsvSortFieldSelect: TForm
  Caption = '列の選択'
  BorderStyle = bsDialog
  ClientWidth = 327
  ClientHeight = 120
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  object WlFooter1: TWlFooter
    Left = 0
    Top = 83
    Width = 327
    Height = 37
    Align = alBottom
    TabOrder = 0
    object WlFooterBtn2: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 0
      SpaceInterval = 6
      Kind = bkOK
      TabOrder = 0
    end
    object WlFooterBtn3: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 1
      SpaceInterval = 6
      Kind = bkCancel
      TabOrder = 1
    end
  end
end
