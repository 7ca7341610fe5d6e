// The about box's footer: one centred Close button without space interval.
object FormAboutBox: TForm
  Caption = 'バージョン情報'
  BorderStyle = bsDialog
  ClientWidth = 297
  ClientHeight = 120
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  object WlFooter1: TWlFooter
    Left = 0
    Top = 83
    Width = 297
    Height = 37
    Align = alBottom
    TabOrder = 0
    object WlFooterBtn1: TWlFooterBtn
      Width = 74
      Height = 23
      Alignment = taCenter
      ButtonIndex = 0
      SpaceInterval = 0
      Kind = bkClose
      TabOrder = 0
    end
  end
end
