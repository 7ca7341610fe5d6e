object FormCreateAutoFile: TFormCreateAutoFile
  Caption = '自動実行バッチファイル作成'
  BorderStyle = bsDialog
  Position = poMainFormCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  ClientWidth = 426
  ClientHeight = 382
  HelpContext = 5
  object GroupBoxLeft: TGroupBox
    Left = 6
    Top = 6
    Width = 414
    Height = 92
    Caption = '左CSVファイル'
    TabOrder = 0
    object LabelLeftFile: TLabel
      Left = 10
      Top = 23
      Caption = 'CSVファイル(&F)'
      FocusControl = EditLeftFileName
    end
    object EditLeftFileName: TButtonedEdit
      Left = 100
      Top = 19
      Width = 304
      Height = 21
      Images = ImageList1
      RightButton.Visible = True
      RightButton.ImageIndex = 0
      TabOrder = 0
      OnRightButtonClick = EditLeftFileNameRightButtonClick
    end
    object CheckBoxLeftRowName: TCheckBox
      Left = 10
      Top = 58
      Width = 160
      Height = 18
      Caption = '一行目は列名(&G)'
      TabOrder = 1
    end
    object GroupBoxLeftKey: TGroupBox
      Left = 180
      Top = 44
      Width = 224
      Height = 42
      Caption = 'キー列(&K)'
      TabOrder = 2
      object StaticTextLeftKey: TStaticText
        Left = 10
        Top = 16
        Width = 170
        Height = 20
        AutoSize = False
        Alignment = taCenter
        Layout = tlCenter
        BorderStyle = sbsSunken
      end
      object BtnLeftKey: TButton
        Left = 188
        Top = 15
        Width = 26
        Height = 22
        Caption = '...'
        TabOrder = 0
        OnClick = BtnLeftKeyClick
      end
    end
  end
  object GroupBoxRight: TGroupBox
    Left = 6
    Top = 104
    Width = 414
    Height = 92
    Caption = '右CSVファイル'
    TabOrder = 1
    object LabelRightFile: TLabel
      Left = 10
      Top = 23
      Caption = 'CSVファイル(&C)'
      FocusControl = EditRightFileName
    end
    object EditRightFileName: TButtonedEdit
      Left = 100
      Top = 19
      Width = 304
      Height = 21
      Images = ImageList1
      RightButton.Visible = True
      RightButton.ImageIndex = 0
      TabOrder = 0
      OnRightButtonClick = EditRightFileNameRightButtonClick
    end
    object CheckBoxRightRowName: TCheckBox
      Left = 10
      Top = 58
      Width = 160
      Height = 18
      Caption = '一行目は列名(&G)'
      TabOrder = 1
    end
    object GroupBoxRightKey: TGroupBox
      Left = 180
      Top = 44
      Width = 224
      Height = 42
      Caption = 'キー列(&L)'
      TabOrder = 2
      object StaticTextRightKey: TStaticText
        Left = 10
        Top = 16
        Width = 170
        Height = 20
        AutoSize = False
        Alignment = taCenter
        Layout = tlCenter
        BorderStyle = sbsSunken
      end
      object BtnRightKey: TButton
        Left = 188
        Top = 15
        Width = 26
        Height = 22
        Caption = '...'
        TabOrder = 0
        OnClick = BtnRightKeyClick
      end
    end
  end
  object GroupBoxSave: TGroupBox
    Left = 6
    Top = 202
    Width = 414
    Height = 118
    Caption = '作成するCSVファイル'
    TabOrder = 2
    object LabelSaveFile: TLabel
      Left = 10
      Top = 23
      Caption = 'CSVファイル(&C)'
      FocusControl = EditSaveFileName
    end
    object EditSaveFileName: TButtonedEdit
      Left = 100
      Top = 19
      Width = 304
      Height = 21
      Images = ImageList1
      RightButton.Visible = True
      RightButton.ImageIndex = 0
      TabOrder = 0
      OnRightButtonClick = EditSaveFileNameRightButtonClick
    end
    object ComboBoxEncoding: TComboBox
      Left = 100
      Top = 46
      Width = 80
      Style = csDropDownList
      Items.Strings = (
        'ANSI'
        'UTF-8')
      TabOrder = 1
    end
    object CheckBoxOverWrite: TCheckBox
      Left = 10
      Top = 84
      Width = 270
      Height = 18
      Caption = '同名のファイルが既に存在するときは追記する'
      TabOrder = 3
    end
    object ComboBoxShowType: TComboBox
      Left = 190
      Top = 46
      Width = 214
      Style = csDropDownList
      Items.Strings = (
        'すべて表示'
        'キーが一致する行のみ'
        '左CSVファイルはすべて表示'
        '右CSVファイルはすべて表示')
      TabOrder = 2
    end
    object GroupBoxSort: TGroupBox
      Left = 290
      Top = 68
      Width = 114
      Height = 44
      Caption = '並び替え(&S)'
      TabOrder = 4
      object ComboBoxSaveSortCol: TComboBox
        Left = 10
        Top = 16
        Width = 94
        Style = csDropDownList
        Items.Strings = (
          '左CSV'
          '右CSV'
          '条件指定')
        TabOrder = 0
        OnClick = ComboBoxSaveSortColClick
      end
    end
  end
  object StatusBar1: TStatusBar
    Top = 363
    SimplePanel = True
    SizeGrip = False
  end
  object WlFooter1: TWlFooter
    Left = 0
    Top = 326
    Width = 426
    Height = 37
    Align = alBottom
    TabOrder = 3
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
    ResourceBitmap = 'DIALOGIMAGES16'
  end
  object ActionList1: TActionList
    Images = ImageList1
    object ActionSaveToFile: TAction
      Caption = '自動実行バッチファイルの作成'
      ImageIndex = 1
      OnExecute = ActionSaveToFileExecute
    end
  end
  object OpenDialogCsv: TOpenDialog
    DefaultExt = 'CSV'
    Filter = 'CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*'
  end
  object SaveFileDialogCsv: TSaveTextFileDialog
    DefaultExt = 'CSV'
    Filter = 'CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*'
    Encodings.Strings = (
      'ANSI'
      'UTF-8')
  end
  object SaveDialogBatch: TSaveDialog
    DefaultExt = 'BAT'
    Filter = 'バッチファイル(*.BAT)|*.BAT|すべてのファイル|*.*'
    Options = [ofOverwritePrompt, ofHideReadOnly, ofEnableSizing]
  end
end
