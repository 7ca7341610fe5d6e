// A sample window with Japanese captions, shown for the documentation's screenshot.
object SampleForm: TForm
  Caption = 'Kolvane - サンプル'
  ClientWidth = 572
  ClientHeight = 420
  Position = poScreenCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  Menu = MainMenu1
  ShowHint = True
  object GroupBoxLeft: TGroupBox
    Align = alTop
    Top = 0
    Width = 572
    Height = 190
    Caption = '左CSVファイル'
    object LabelLeftFile: TLabel
      Left = 10
      Top = 22
      Caption = 'CSVファイル(&F)'
      FocusControl = EditLeftFileName
    end
    object EditLeftFileName: TButtonedEdit
      Left = 100
      Top = 18
      Width = 300
      Anchors = [akLeft, akTop, akRight]
      Text = 'C:\データ\顧客一覧.csv'
      RightButton.Visible = True
      RightButton.Hint = 'CSVファイルを選択します。'
    end
    object CheckBoxLeftRowName: TCheckBox
      Left = 410
      Top = 20
      Width = 150
      Anchors = [akTop, akRight]
      Caption = '一行目は列名(&G)'
      Checked = True
    end
    object LabelLeftKey: TLabel
      Left = 10
      Top = 50
      Caption = 'キー列(&K)'
      FocusControl = ComboBoxLeftKey
    end
    object ComboBoxLeftKey: TComboBox
      Left = 100
      Top = 46
      Width = 120
      Style = csDropDownList
      Items.Strings = (
        'A列'
        'B列'
        'C列')
      ItemIndex = 1
    end
    object GridLeft: TDrawGrid
      Left = 10
      Top = 76
      Width = 552
      Height = 104
      Anchors = [akLeft, akTop, akRight, akBottom]
      ColCount = 6
      RowCount = 40
      FixedCols = 1
      FixedRows = 2
      DefaultRowHeight = 18
      Options = [goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goColSizing, goRowSizing]
    end
  end
  object Splitter1: TSplitter
    Align = alTop
    Top = 190
    Height = 4
  end
  object GroupBoxRight: TGroupBox
    Align = alClient
    Caption = '右CSVファイル'
    object LabelRightFile: TLabel
      Left = 10
      Top = 22
      Caption = 'CSVファイル(&C)'
    end
    object EditRightFileName: TButtonedEdit
      Left = 100
      Top = 18
      Width = 300
      RightButton.Visible = True
    end
    object RadioLeft: TRadioButton
      Left = 10
      Top = 52
      Width = 220
      Caption = '左CSVファイルに設定する(&L)'
      Checked = True
    end
    object RadioRight: TRadioButton
      Left = 10
      Top = 74
      Width = 220
      Caption = '右CSVファイルに設定する(&R)'
    end
    object StaticTextKey: TStaticText
      Left = 250
      Top = 52
      Width = 140
      Height = 20
      AutoSize = False
      BorderStyle = sbsSunken
      Caption = '(なし)'
    end
    object ProgressBar1: TProgressBar
      Left = 250
      Top = 80
      Width = 200
      Height = 16
      Max = 100
      Position = 60
    end
    object ButtonJoin: TButton
      Left = 470
      Top = 74
      Width = 90
      Caption = '結合する'
      Default = True
    end
  end
  object StatusBar1: TStatusBar
    SimplePanel = True
    SimpleText = 'CSVファイルを開きました。'
    AutoHint = True
  end
  object MainMenu1: TMainMenu
    object MenuFile: TMenuItem
      Caption = 'ファイル(&F)'
      object MenuNew: TMenuItem
        Caption = '新規作成'
        ShortCut = 'Ctrl+N'
      end
    end
    object MenuCsv: TMenuItem
      Caption = 'CSVファイル(&C)'
    end
    object MenuSettings: TMenuItem
      Caption = '設定(&S)'
    end
    object MenuHelp: TMenuItem
      Caption = 'ヘルプ(&H)'
    end
  end
end
