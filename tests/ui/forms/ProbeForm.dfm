// Probes record when their parent is set, the order of the end-of-loading steps, a forward
// reference and an event bound by handler name.
object ProbeForm: TForm
  Caption = 'Probe'
  ClientWidth = 200
  ClientHeight = 100
  object Outer: TProbe
    Note = 'outer'
    Buddy = Inner
    OnPing = ProbePing
    object Inner: TProbe
      Note = 'inner'
      Buddy = Last
    end
  end
  object Last: TProbe
    Note = 'last'
    Buddy = ProbeForm
  end
end
