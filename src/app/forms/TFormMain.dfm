// The main window: tool bar, the left CSV side, a splitter, the right CSV side, status bar.
// The grids of both sides are made by the window itself (TCsvGrid).
object FormMain: TFormMain
  Caption = 'Kolvane'
  ClientWidth = 572
  ClientHeight = 508
  Position = poDesktopCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  Icon.Resource = '#1'
  Menu = MainMenu1
  ShowHint = True
  OnClose = FormClose
  OnShow = FormShow
  object ToolBar1: TToolBar
    Align = alTop
    Top = 0
    Height = 42
    Images = ImageList32
    ShowCaptions = False
    Flat = True
    object ToolButtonNew: TToolButton
      Action = ActionFileNew
    end
    object ToolButtonOpen: TToolButton
      Action = ActionFileOpen
    end
    object ToolButtonSave: TToolButton
      Action = ActionFileSave
    end
    object ToolButtonSep1: TToolButton
      Style = tbsSeparator
    end
    object ToolButtonSort: TToolButton
      Action = ActionCsvSort
    end
    object ToolButtonSep2: TToolButton
      Style = tbsSeparator
    end
    object ToolButtonJoin: TToolButton
      Action = ActionKolvane
    end
  end
  object GroupBoxLeft: TGroupBox
    Width = 572
    Align = alTop
    Top = 42
    Height = 196
    Caption = '左CSVファイル'
    object PanelLeft: TPanel
      Align = alTop
      Width = 568
      Height = 70
      BevelOuter = bvNone
      object LabelLeftFileName: TLabel
        Left = 8
        Top = 4
        Caption = 'CSVファイル(&F)'
        FocusControl = EditLeftFileName
      end
      object EditLeftFileName: TButtonedEdit
        Left = 8
        Top = 20
        Width = 420
        Height = 21
        Anchors = [akLeft, akTop, akRight]
        Images = ImageList16
        RightButton.Visible = True
        RightButton.ImageIndex = 5
        RightButton.Hint = 'CSVファイルを選択します。'
        OnRightButtonClick = ActionCsvSelectParentExecute
      end
      object CheckBoxLeftRowName: TCheckBox
        Left = 8
        Top = 47
        Width = 160
        Height = 17
        Caption = '一行目は列名(&G)'
        OnClick = CheckBoxLeftRowNameClick
      end
      object GroupBoxLeftKey: TGroupBox
        Left = 436
        Top = 2
        Width = 124
        Height = 52
        Anchors = [akTop, akRight]
        Caption = 'キー列(&K)'
        object ComboBoxLeftKey: TComboBox
          Left = 8
          Top = 20
          Width = 108
          Style = csDropDownList
          DropDownCount = 16
          OnClick = ComboBoxLeftKeyClick
        end
      end
    end
  end
  object Splitter1: TSplitter
    Align = alTop
    Top = 238
    Height = 4
  end
  object StatusBar1: TStatusBar
    SimplePanel = True
    AutoHint = True
  end
  object GroupBoxRight: TGroupBox
    Width = 572
    Align = alClient
    Caption = '右CSVファイル'
    object PanelRight: TPanel
      Align = alTop
      Width = 568
      Height = 70
      BevelOuter = bvNone
      object LabelRightFileName: TLabel
        Left = 8
        Top = 4
        Caption = 'CSVファイル(&C)'
        FocusControl = EditRightFileName
      end
      object EditRightFileName: TButtonedEdit
        Left = 8
        Top = 20
        Width = 420
        Height = 21
        Anchors = [akLeft, akTop, akRight]
        Images = ImageList16
        RightButton.Visible = True
        RightButton.ImageIndex = 5
        RightButton.Hint = 'CSVファイルを選択します。'
        OnRightButtonClick = ActionCsvSelectChildExecute
      end
      object CheckBoxRightRowName: TCheckBox
        Left = 8
        Top = 47
        Width = 160
        Height = 17
        Caption = '一行目は列名(&G)'
        OnClick = CheckBoxRightRowNameClick
      end
      object GroupBoxRightKey: TGroupBox
        Left = 436
        Top = 2
        Width = 124
        Height = 52
        Anchors = [akTop, akRight]
        Caption = 'キー列(&L)'
        object ComboBoxRightKey: TComboBox
          Left = 8
          Top = 20
          Width = 108
          Style = csDropDownList
          DropDownCount = 16
          OnClick = ComboBoxRightKeyClick
        end
      end
    end
  end
  object ImageList16: TImageList
    Width = 16
    Height = 16
    ResourceBitmap = 'IMAGES16'
  end
  object ImageList32: TImageList
    Width = 32
    Height = 32
    ResourceBitmap = 'IMAGES32'
  end
  object ActionManager1: TActionManager
    Images = ImageList16
    object ActionFileNew: TAction
      Category = 'ファイル'
      Caption = '新規作成'
      Hint = '新規に作成します。'
      ImageIndex = 0
      ShortCut = 'Ctrl+N'
      OnExecute = ActionFileNewExecute
    end
    object ActionFileOpen: TAction
      Category = 'ファイル'
      Caption = '開く'
      Hint = '設定を開きます。'
      ImageIndex = 1
      ShortCut = 'Ctrl+O'
      OnExecute = ActionFileOpenExecute
    end
    object ActionFileSave: TAction
      Category = 'ファイル'
      Caption = '上書き保存'
      Hint = '設定を上書き保存します。'
      ImageIndex = 2
      ShortCut = 'Ctrl+S'
      OnExecute = ActionFileSaveExecute
    end
    object ActionFileSaveAs: TAction
      Category = 'ファイル'
      Caption = '名前をつけて保存'
      Hint = '設定を名前をつけて保存します。'
      OnExecute = ActionFileSaveAsExecute
    end
    object ActionFileMakeAuto: TAction
      Category = 'ファイル'
      Caption = '自動実行バッチファイルの作成'
      Hint = '自動実行バッチファイルを作成します。'
      ImageIndex = 6
      OnExecute = ActionFileMakeAutoExecute
    end
    object ActionFileClose: TAction
      Category = 'ファイル'
      Caption = '閉じる(&X)'
      OnExecute = ActionFileCloseExecute
    end
    object ActionCsvSelectParent: TAction
      Category = 'CSV'
      Caption = '左CSVファイルの参照(&P)'
      Hint = 'CSVファイルを選択します。'
      ImageIndex = 5
      OnExecute = ActionCsvSelectParentExecute
    end
    object ActionCsvSelectChild: TAction
      Category = 'CSV'
      Caption = '右CSVファイルの参照(&C)'
      Hint = 'CSVファイルを選択します。'
      ImageIndex = 5
      OnExecute = ActionCsvSelectChildExecute
    end
    object ActionCsvSort: TAction
      Category = 'CSV'
      Caption = '並び替え設定(&S)'
      Hint = '並び替えの条件を設定します。'
      ImageIndex = 3
      OnExecute = ActionCsvSortExecute
    end
    object ActionKolvane: TAction
      Category = 'CSV'
      Caption = 'CSVファイルを結合する'
      Hint = 'CSVファイルを結合します。'
      ImageIndex = 4
      OnExecute = ActionKolvaneExecute
    end
    object ActionGridSetKeyCol: TAction
      Category = 'CSV'
      Caption = '選択されている列をキー列にする'
      OnExecute = ActionGridSetKeyColExecute
    end
    object ActionConfigGeneral: TAction
      Category = '設定'
      Caption = '全般設定'
      Hint = '全般的な設定を行います。'
      ImageIndex = 8
      OnExecute = ActionConfigGeneralExecute
    end
    object ActionHelpHelp: TAction
      Category = 'ヘルプ'
      Caption = 'ヘルプ(&H)'
      Hint = 'ヘルプを表示します。'
      ImageIndex = 7
      OnExecute = ActionHelpHelpExecute
    end
    object ActionHelpAbout: TAction
      Category = 'ヘルプ'
      Caption = 'バージョン情報(&A)'
      Hint = 'バージョン情報を表示します。'
      OnExecute = ActionHelpAboutExecute
    end
  end
  object MainMenu1: TMainMenu
    Images = ImageList16
    object MenuFile: TMenuItem
      Caption = 'ファイル(&F)'
      object MenuFileNew: TMenuItem
        Action = ActionFileNew
      end
      object MenuFileOpen: TMenuItem
        Action = ActionFileOpen
      end
      object MenuFileSave: TMenuItem
        Action = ActionFileSave
      end
      object MenuFileSaveAs: TMenuItem
        Action = ActionFileSaveAs
      end
      object MenuFileSep1: TMenuItem
        Caption = '-'
      end
      object MenuFileMakeAuto: TMenuItem
        Action = ActionFileMakeAuto
      end
      object MenuFileSep2: TMenuItem
        Caption = '-'
      end
      object MenuFileClose: TMenuItem
        Action = ActionFileClose
      end
    end
    object MenuCsv: TMenuItem
      Caption = 'CSVファイル(&C)'
      object MenuCsvSelectParent: TMenuItem
        Action = ActionCsvSelectParent
      end
      object MenuCsvSelectChild: TMenuItem
        Action = ActionCsvSelectChild
      end
      object MenuCsvSep1: TMenuItem
        Caption = '-'
      end
      object MenuCsvSort: TMenuItem
        Action = ActionCsvSort
      end
      object MenuCsvSep2: TMenuItem
        Caption = '-'
      end
      object MenuCsvKolvane: TMenuItem
        Action = ActionKolvane
      end
    end
    object MenuSettings: TMenuItem
      Caption = '設定(&S)'
      object MenuConfigGeneral: TMenuItem
        Action = ActionConfigGeneral
      end
    end
    object MenuHelp: TMenuItem
      Caption = 'ヘルプ(&H)'
      object MenuHelpHelp: TMenuItem
        Action = ActionHelpHelp
      end
      object MenuHelpAbout: TMenuItem
        Action = ActionHelpAbout
      end
    end
  end
  object PopupMenuCsvGridLeft: TPopupMenu
    object PopupLeftSetKeyCol: TMenuItem
      Tag = 0
      Caption = '選択されている列をキー列にする'
      OnClick = ActionGridSetKeyColExecute
    end
  end
  object PopupMenuCsvGridRight: TPopupMenu
    object PopupRightSetKeyCol: TMenuItem
      Tag = 1
      Caption = '選択されている列をキー列にする'
      OnClick = ActionGridSetKeyColExecute
    end
  end
  object OpenDialogProject: TOpenDialog
    DefaultExt = '.KVJ'
    Filter = 'Kolvaneプロジェクトファイル(*.KVJ)|*.KVJ|すべてのファイル(*.*)|*.*'
  end
  object SaveDialogProject: TSaveDialog
    DefaultExt = '.KVJ'
    Filter = 'Kolvaneプロジェクトファイル(*.KVJ)|*.KVJ|すべてのファイル(*.*)|*.*'
    Options = [ofOverwritePrompt, ofHideReadOnly, ofEnableSizing]
  end
  object OpenDialogCsv: TOpenDialog
    DefaultExt = '.CSV'
    Filter = 'CSVファイル(*.CSV)|*.CSV|すべてのファイル(*.*)|*.*'
  end
  object ApplicationEvents1: TApplicationEvents
    OnMinimize = ApplicationEvents1Minimize
  end
  object TrayIcon1: TTrayIcon
    Hint = 'Kolvane'
    Visible = False
    OnClick = TrayIcon1Click
  end
  object CrashLog1: TCrashLog
  end
end
