object FormCsvSortFieldSelect: TFormCsvSortFieldSelect
  Caption = '並び替え条件の列の選択'
  BorderStyle = bsDialog
  Position = poOwnerFormCenter
  Font.Name = 'MS UI Gothic'
  Font.Height = -12
  ClientWidth = 327
  ClientHeight = 300
  object Label1: TLabel
    Left = 8
    Top = 8
    Caption = 'CSVデータを並び替えるキーとなる列を選択してください。'
  end
  object ListViewKey: TListView
    Left = 8
    Top = 28
    Width = 311
    Height = 229
    ViewStyle = vsReport
    OwnerData = True
    ReadOnly = True
    RowSelect = True
    HideSelection = False
    ColumnClick = False
    Columns = <
      item
        Caption = 'No.'
        Width = 35
      end
      item
        Alignment = taCenter
        Caption = 'CSVファイルの列'
        Width = 95
      end
      item
        Caption = 'フィールド名'
        Width = 170
      end>
    TabOrder = 0
    OnData = ListViewKeyData
  end
  object WlFooter1: TWlFooter
    Left = 0
    Top = 263
    Width = 327
    Height = 37
    Align = alBottom
    TabOrder = 1
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
