// The general settings: start-up, file association and notification-area pages, then Help,
// OK and Cancel.
object FormConfigGeneral: TFormConfigGeneral
  BorderStyle = bsDialog
  Caption = '全般設定'
  ClientWidth = 420
  ClientHeight = 232
  Position = poMainFormCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  HelpContext = 6
  object PageControl1: TPageControl
    Left = 8
    Top = 8
    Width = 404
    Height = 180
    ActivePage = TabSheetStartUp
    object TabSheetStartUp: TTabSheet
      Caption = '起動時(&1)'
      object CheckBoxProjectFileRestore: TCheckBox
        Left = 16
        Top = 20
        Width = 370
        Height = 17
        Caption = '前回の終了時に開いていたファイルを、起動時に開く'
      end
      object CheckBoxWindowPositionRestore: TCheckBox
        Left = 16
        Top = 48
        Width = 370
        Height = 17
        Caption = '前回の終了時のウィンドウの状態を起動時に復元する'
      end
    end
    object TabSheetLink: TTabSheet
      Caption = '関連づけ(&2)'
      object ButtonLinkSet: TButton
        Left = 16
        Top = 14
        Width = 364
        Height = 52
        Style = bsCommandLink
        Caption = '拡張子「.KVJ」の関連づけを設定する'
        OnClick = ButtonLinkSetClick
      end
      object ButtonLinkUnSet: TButton
        Left = 16
        Top = 76
        Width = 364
        Height = 52
        Style = bsCommandLink
        Caption = '拡張子「.KVJ」の関連づけを削除する'
        OnClick = ButtonLinkUnSetClick
      end
    end
    object TabSheetOther: TTabSheet
      Caption = 'その他(&3)'
      object CheckBoxInTaskTray: TCheckBox
        Left = 16
        Top = 20
        Width = 370
        Height = 17
        Caption = '最小化したとき、タスクトレイに入れる'
      end
    end
  end
  object ButtonHelp: TButton
    Left = 8
    Top = 198
    Width = 88
    Height = 26
    Caption = 'ヘルプ(&H)'
    HelpContext = 6
    OnClick = ButtonHelpClick
  end
  object ButtonOk: TButton
    Left = 226
    Top = 198
    Width = 88
    Height = 26
    Caption = 'OK'
    Default = True
    ModalResult = mrOk
  end
  object ButtonCancel: TButton
    Left = 324
    Top = 198
    Width = 88
    Height = 26
    Caption = 'キャンセル'
    Cancel = True
    ModalResult = mrCancel
  end
end
