"""The learned driver's network: view and speed in; the teacher's choice out."""
from frames import BANNER_ROWS, FRAME, np
import numpy.typing as npt
import torch
from torch import nn

STEERING_SCALE = 20.0  # degrees: the outputs are of order one
SPEED_SCALE = 30.0  # mph


class Driver(nn.Module):
    """A small convolutional network over the view with the course's fixed background taken away."""

    background: torch.Tensor

    def __init__(self, rows: int = FRAME[1] - BANNER_ROWS, columns: int = FRAME[0]) -> None:
        super().__init__()
        # The grass never moves on screen: what differs from it is the course (markers, obstacles)
        # and the dashboard. Set from the training frames, saved with the weights.
        self.register_buffer("background", torch.zeros(3, rows, columns))
        self.features = nn.Sequential(
            nn.Conv2d(3, 16, 5, stride=2), nn.ReLU(),
            nn.Conv2d(16, 32, 3, stride=2), nn.ReLU(),
            nn.Conv2d(32, 32, 3, stride=2), nn.ReLU(), nn.Flatten())
        with torch.no_grad():
            width = self.features(torch.zeros(1, 3, rows, columns)).shape[1]
        self.head = nn.Sequential(nn.Linear(width + 1, 64), nn.ReLU(), nn.Linear(64, 2))

    def forward(self, views: torch.Tensor, speeds: torch.Tensor) -> torch.Tensor:
        """VIEWS: N x rows x columns x RGB bytes; SPEEDS: N mph. Steering (deg) and speed (mph)
        asked, N x 2."""
        x = (views.permute(0, 3, 1, 2).float() - self.background) / 64.0
        hidden = torch.cat([self.features(x), speeds.float().unsqueeze(1) / SPEED_SCALE], 1)
        return self.head(hidden) * torch.tensor([STEERING_SCALE, SPEED_SCALE])

    def act(self, view: npt.NDArray[np.uint8], speed: float) -> tuple[float, float]:
        """One reply: steering and speed for one view."""
        with torch.no_grad():
            out = self(torch.from_numpy(view).unsqueeze(0), torch.tensor([speed]))[0]
        return float(out[0]), float(out[1])


def load(path: str) -> Driver:
    driver = Driver()
    driver.load_state_dict(torch.load(path))
    return driver.eval()
