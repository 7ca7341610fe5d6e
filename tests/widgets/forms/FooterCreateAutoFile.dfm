// The batch-file dialog's footer: Help on the left, a wide Save button bound to an action and
// a Close button on the right.
object FormCreateAutoFile: TForm
  Caption = 'バッチファイルの作成'
  BorderStyle = bsDialog
  ClientWidth = 426
  ClientHeight = 120
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  object WlFooter1: TWlFooter
    Left = 0
    Top = 83
    Width = 426
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
      HelpContext = 5
      TabOrder = 0
    end
    object BtnSaveToFile: TWlFooterBtn
      Width = 180
      Height = 23
      Action = ActionSaveToFile
      ButtonIndex = 1
      SpaceInterval = 6
      Default = True
      Images = ImageList1
      ImageIndex = 1
      TabOrder = 1
    end
    object BtnClose: TWlFooterBtn
      Width = 74
      Height = 23
      ButtonIndex = 2
      SpaceInterval = 6
      Kind = bkClose
      TabOrder = 2
    end
  end
  object ImageList1: TImageList
    Width = 16
    Height = 16
    ResourceBitmap = ('SAVEIMAGES' clOlive)
  end
  object ActionList1: TActionList
    Images = ImageList1
    object ActionSaveToFile: TAction
      Caption = 'バッチファイルに保存(&S)'
      ImageIndex = 1
    end
  end
end
