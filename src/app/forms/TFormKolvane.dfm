object FormKolvane: TFormKolvane
  Caption = 'CSV結合'
  ClientWidth = 524
  ClientHeight = 286
  HelpContext = 4
  Position = poOwnerFormCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  ShowHint = True
  object PanelToolBar: TPanel
    Align = alTop
    Height = 30
    BevelOuter = bvNone
    TabOrder = 0
    object ComboBoxType: TComboBox
      Left = 4
      Top = 4
      Width = 150
      Style = csDropDownList
      Hint = '表示する行を選択します。'
      Items.Strings = (
        'すべて表示'
        'キーが一致する行のみ'
        '左CSVファイルはすべて表示'
        '右CSVファイルはすべて表示')
      TabOrder = 0
      OnClick = ComboBoxTypeClick
    end
    object ComboBoxSortColumn: TComboBox
      Left = 158
      Top = 4
      Width = 64
      Style = csDropDownList
      Hint = 'CSVデータをソートするキー列を選択します。'
      Items.Strings = (
        '左CSV'
        '右CSV')
      TabOrder = 1
      OnChange = ComboBoxSortColumnChange
    end
    object SpeedButton1: TSpeedButton
      Left = 226
      Top = 3
      Width = 24
      Height = 24
      Action = ActionSave
      Images = ImageList16
      ImageIndex = 2
    end
    object CheckBoxOverWrite: TCheckBox
      Left = 256
      Top = 6
      Width = 266
      Height = 18
      Caption = '同名のファイルが既に存在するときは追記する'
      Hint = 'チェックすると、ファイルを保存する時に同名のファイルが既に存在するときは追記します。'
      TabOrder = 3
    end
  end
  object PanelTop: TPanel
    Align = alTop
    Top = 30
    Height = 28
    BevelOuter = bvNone
    BorderWidth = 2
    TabOrder = 1
    object BtnCancel: TButton
      Align = alRight
      Width = 80
      Caption = 'キャンセル'
      Cancel = True
      TabOrder = 0
      OnClick = BtnCancelClick
    end
    object ProgressBar1: TProgressBar
      Align = alClient
    end
  end
  object StatusBar1: TStatusBar
    SimplePanel = True
    AutoHint = True
  end
  object ActionList1: TActionList
    object ActionSave: TAction
      Hint = 'CSVファイルを保存します。'
      ShortCut = 'Ctrl+S'
      Enabled = False
      OnExecute = ActionSaveExecute
    end
  end
  object ImageList16: TImageList
    Width = 16
    Height = 16
    ResourceBitmap = 'DIALOGIMAGES16'
  end
  object SaveDialogCsv: TSaveTextFileDialog
    DefaultExt = 'CSV'
    Filter = 'CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*'
    Encodings.Strings = (
      'ANSI'
      'UTF-8')
  end
end
